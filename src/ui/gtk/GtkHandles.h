#pragma once
// Ownership of GLib and GTK objects, and the nested run that makes a window modal.

#include <gtk/gtk.h>

#include <memory>
#include <string>

namespace ui::gtk {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct WidgetDestroy {
  void operator()(GtkWidget* widget) const { gtk_widget_destroy(widget); }
};
struct LoopUnref {
  void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};
struct GFree {
  void operator()(gpointer p) const { g_free(p); }
};
struct AttrListUnref {
  void operator()(PangoAttrList* list) const { pango_attr_list_unref(list); }
};

using BuilderPtr = std::unique_ptr<GtkBuilder, GObjectUnref>;
/// A toplevel window: GTK keeps toplevels alive until they are destroyed.
using WindowPtr = std::unique_ptr<GtkWidget, WidgetDestroy>;
using LoopPtr = std::unique_ptr<GMainLoop, LoopUnref>;
using CharsPtr = std::unique_ptr<gchar, GFree>;
using AttrListPtr = std::unique_ptr<PangoAttrList, AttrListUnref>;

/// The builder of one compiled-in window description ("ProgressWindow.ui", …).
inline BuilderPtr loadWindowDescription(const char* name) {
  const std::string path = std::string("/org/halvex/naib/") + name;
  return BuilderPtr(gtk_builder_new_from_resource(path.c_str()));
}

/// The object of builder with id, cast to T.
template <typename T>
T* builderObject(GtkBuilder* builder, const char* id) {
  return reinterpret_cast<T*>(gtk_builder_get_object(builder, id));
}

/// text with every invalid UTF-8 sequence replaced: GTK drops text that is not UTF-8.
inline std::string validUtf8(const std::string& text) {
  CharsPtr valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
  return valid.get();
}

/// A modal run of a window on a nested main loop of the default context, so downloads and
/// queued notifications go on while it runs.
class ModalRun {
 public:
  /// Shows window modally and returns the code given to stop().
  int run(GtkWindow* window) {
    loop_.reset(g_main_loop_new(nullptr, FALSE));
    gtk_window_set_modal(window, TRUE);
    gtk_window_present(window);
    g_main_loop_run(loop_.get());
    loop_.reset();
    gtk_window_set_modal(window, FALSE);
    return code_;
  }
  /// Ends the run with code; nothing when no run is going on.
  void stop(int code) {
    code_ = code;
    if (loop_) g_main_loop_quit(loop_.get());
  }

 private:
  LoopPtr loop_;
  int code_ = 0;
};

}  // namespace ui::gtk
