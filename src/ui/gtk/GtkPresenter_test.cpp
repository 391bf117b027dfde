// Runs under a virtual X server: the GTK windows of the presenter module, driven the way a
// person would, by clicking their buttons.
#include "ui/gtk/GtkPresenter.h"

#include <dlfcn.h>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "ui/GtkPresenterModule.h"

namespace ui::gtk {
namespace {

std::unique_ptr<Presenter> loadPresenter() {
  char exe[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string dir(exe, n > 0 ? static_cast<std::size_t>(n) : 0);
  dir = dir.substr(0, dir.rfind('/'));
  void* module = dlopen((dir + "/" + kGtkPresenterModuleName).c_str(), RTLD_NOW | RTLD_NODELETE);
  if (!module) return nullptr;
  auto factory = reinterpret_cast<GtkPresenterFactory>(dlsym(module, kGtkPresenterFactoryName));
  return std::unique_ptr<Presenter>(factory ? factory() : nullptr);
}

void pump() {
  while (gtk_events_pending()) gtk_main_iteration();
}

GtkWindow* visibleWindow(const std::string& title) {
  GList* windows = gtk_window_list_toplevels();
  GtkWindow* found = nullptr;
  for (GList* w = windows; w; w = w->next) {
    GtkWindow* window = GTK_WINDOW(w->data);
    const char* t = gtk_window_get_title(window);
    if (t && title == t && gtk_widget_get_visible(GTK_WIDGET(window))) found = window;
  }
  g_list_free(windows);
  return found;
}

GtkWidget* child(GtkWidget* widget, const std::string& name) {
  if (GTK_IS_BUILDABLE(widget)) {
    const char* n = gtk_buildable_get_name(GTK_BUILDABLE(widget));
    if (n && name == n) return widget;
  }
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget* found = nullptr;
  for (GList* c = children; c && !found; c = c->next) found = child(GTK_WIDGET(c->data), name);
  g_list_free(children);
  return found;
}

// Runs action on the window titled title as soon as it shows, from inside a modal run.
void whenShown(const std::string& title, std::function<void(GtkWindow*)> action) {
  struct Pending {
    std::string title;
    std::function<void(GtkWindow*)> action;
    gint64 deadline;
  };
  auto* pending =
      new Pending{title, std::move(action), g_get_monotonic_time() + 10 * G_USEC_PER_SEC};
  g_timeout_add(
      20,
      [](gpointer data) -> gboolean {
        auto* p = static_cast<Pending*>(data);
        if (GtkWindow* window = visibleWindow(p->title)) {
          p->action(window);
        } else if (g_get_monotonic_time() < p->deadline) {
          return G_SOURCE_CONTINUE;
        } else {
          ADD_FAILURE() << "window never shown: " << p->title;
          std::abort();  // the modal run would wait forever
        }
        delete p;
        return G_SOURCE_REMOVE;
      },
      pending);
}

struct Model {
  platform::Observable<std::string> title{"Installing Sample"};
  platform::Observable<std::string> pleaseWait{"Please wait."};
  platform::Observable<std::string> cancelText{"Cancel"};
  platform::Observable<double> percent{0};
  int cancels = 0;
  ProgressBinding binding() {
    return {&title, &pleaseWait, &cancelText, &percent, [this] { ++cancels; }};
  }
};

class GtkPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    presenter_ = loadPresenter();
    ASSERT_NE(presenter_, nullptr) << "the module must load and GTK initialise";
    // A window that opens "without error" logs no GTK warning or critical either.
    g_log_set_always_fatal(
        static_cast<GLogLevelFlags>(G_LOG_FATAL_MASK | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
  }
  Model model_;  // outlives the presenter, as the model outlives its windows
  std::unique_ptr<Presenter> presenter_;
};

TEST_F(GtkPresenterTest, ProgressWindowFollowsItsBindingAndCancels) {
  presenter_->bindProgress(model_.binding());
  presenter_->setCancelEnabled(false);
  presenter_->showProgress();
  pump();
  GtkWindow* window = visibleWindow("Installing Sample");
  ASSERT_NE(window, nullptr);
  auto* bar = GTK_PROGRESS_BAR(child(GTK_WIDGET(window), "progressBar"));
  auto* cancel = GTK_BUTTON(child(GTK_WIDGET(window), "cancelButton"));
  auto* label = GTK_LABEL(child(GTK_WIDGET(window), "pleaseWaitLabel"));
  EXPECT_STREQ(gtk_label_get_text(label), "Please wait.");
  EXPECT_STREQ(gtk_button_get_label(cancel), "Cancel");
  EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(cancel)));

  model_.percent.set(40);
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar), 0.4);
  model_.percent.set(250);
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar), 1.0);
  model_.percent.set(std::nan(""));
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar), 0.0);
  model_.title.set("Installation von Sample");
  model_.cancelText.set("Abbrechen");
  EXPECT_STREQ(gtk_window_get_title(window), "Installation von Sample");
  EXPECT_STREQ(gtk_button_get_label(cancel), "Abbrechen");

  presenter_->setCancelEnabled(true);
  EXPECT_TRUE(gtk_widget_get_sensitive(GTK_WIDGET(cancel)));
  gtk_button_clicked(cancel);
  EXPECT_EQ(model_.cancels, 1);

  presenter_->closeProgress();
  pump();
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window)));
  model_.percent.set(70);
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar), 0.0) << "a closed window follows nothing";
}

TEST_F(GtkPresenterTest, AlertShowsItsMessageLiterallyUntilItsButtonIsPressed) {
  std::string shownText;
  bool usedMarkup = true;
  whenShown("Install Sample", [&](GtkWindow* window) {
    auto* label = GTK_LABEL(child(GTK_WIDGET(window), "messageLabel"));
    shownText = gtk_label_get_text(label);
    usedMarkup = gtk_label_get_use_markup(label);
    auto* ok = GTK_BUTTON(child(GTK_WIDGET(window), "okButton"));
    EXPECT_STREQ(gtk_button_get_label(ok), "Aceptar");
    EXPECT_EQ(gtk_window_get_focus(window), GTK_WIDGET(ok)) << "Enter dismisses the alert";
    gtk_button_clicked(ok);
  });
  presenter_->runAlert("Install Sample", "<b>not bold</b> & <a href='x'>y</a>", "Aceptar");
  EXPECT_EQ(shownText, "<b>not bold</b> & <a href='x'>y</a>");
  EXPECT_FALSE(usedMarkup);
  pump();
  EXPECT_EQ(visibleWindow("Install Sample"), nullptr);
}

TEST_F(GtkPresenterTest, ErrorDialogLinksOnlyItsLinkRunsAndStaysAfterOK) {
  const std::vector<TextRun> runs = {{"Read the <b>", std::nullopt},
                                     {"system requirements", "https://www.halvex.example/req/"},
                                     {" now.", std::nullopt}};
  std::string text;
  std::optional<std::string> linkAtLink, linkAtPlain;
  bool blueUnderlined = false;
  whenShown("Install Sample", [&](GtkWindow* window) {
    auto* view = GTK_TEXT_VIEW(child(GTK_WIDGET(window), "textView"));
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(view);
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    text.assign(gtk_text_buffer_get_text(buffer, &start, &end, FALSE));
    GtkTextIter at;
    gtk_text_buffer_get_iter_at_offset(buffer, &at, 12);  // inside "system requirements"
    GSList* tags = gtk_text_iter_get_tags(&at);
    if (tags) {
      GdkRGBA* color = nullptr;
      PangoUnderline underline = PANGO_UNDERLINE_NONE;
      g_object_get(tags->data, "foreground-rgba", &color, "underline", &underline, nullptr);
      blueUnderlined = color && color->red == 0 && color->green == 0 && color->blue == 1 &&
                       underline == PANGO_UNDERLINE_SINGLE;
      gdk_rgba_free(color);
    }
    g_slist_free(tags);
    linkAtLink = ErrorDialogWindow::linkAt(at);
    gtk_text_buffer_get_iter_at_offset(buffer, &at, 3);
    linkAtPlain = ErrorDialogWindow::linkAt(at);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(child(GTK_WIDGET(window), "okButton"))), "OK");
    gtk_button_clicked(GTK_BUTTON(child(GTK_WIDGET(window), "okButton")));
  });
  EXPECT_EQ(presenter_->runErrorDialog("Install Sample", runs, "OK"), 1);
  EXPECT_EQ(text, "Read the <b>system requirements now.");
  EXPECT_TRUE(blueUnderlined);
  EXPECT_EQ(linkAtLink, "https://www.halvex.example/req/");
  EXPECT_EQ(linkAtPlain, std::nullopt);
  pump();
  EXPECT_NE(visibleWindow("Install Sample"), nullptr) << "the dialog stays after OK";
}

// The world gets one handler for https addresses, a script that writes down what it was
// asked to open; clicking the link must reach it. Made before GTK starts: GLib reads the
// XDG directories once.
class LinkHandler {
 public:
  LinkHandler() {
    char pattern[] = "/tmp/naib-link-XXXXXX";
    dir_ = mkdtemp(pattern) ? pattern : "";
    write(dir_ + "/probe", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + opened() + "\"\n");
    chmod((dir_ + "/probe").c_str(), 0700);
    g_mkdir_with_parents((dir_ + "/data/applications").c_str(), 0700);
    write(dir_ + "/data/applications/naib-link-probe.desktop",
          "[Desktop Entry]\nType=Application\nName=Link probe\nExec=" + dir_ +
              "/probe %u\nMimeType=x-scheme-handler/https;\n");
    write(dir_ + "/mimeapps.list",
          "[Default Applications]\nx-scheme-handler/https=naib-link-probe.desktop\n");
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (dir_ + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  ~LinkHandler() {
    const std::string command = "rm -rf '" + dir_ + "'";
    if (!dir_.empty()) std::system(command.c_str());
  }
  std::string opened() const { return dir_ + "/opened"; }
  std::string read() const {
    std::ifstream in(opened());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  static void write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
  }
  std::string dir_;
};

// A primary-button release over the given character of the view, as the pointer makes it.
void clickAt(GtkTextView* view, int offset) {
  GtkTextIter iter;
  gtk_text_buffer_get_iter_at_offset(gtk_text_view_get_buffer(view), &iter, offset);
  GdkRectangle rect;
  gtk_text_view_get_iter_location(view, &iter, &rect);
  gint x = 0, y = 0;
  gtk_text_view_buffer_to_window_coords(view, GTK_TEXT_WINDOW_TEXT, rect.x + 1,
                                        rect.y + rect.height / 2, &x, &y);
  GdkEvent* event = gdk_event_new(GDK_BUTTON_RELEASE);
  event->button.window =
      GDK_WINDOW(g_object_ref(gtk_text_view_get_window(view, GTK_TEXT_WINDOW_TEXT)));
  event->button.button = GDK_BUTTON_PRIMARY;
  event->button.x = x;
  event->button.y = y;
  event->button.time = GDK_CURRENT_TIME;
  gdk_event_set_device(
      event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
  gtk_main_do_event(event);
  gdk_event_free(event);
}

LinkHandler handler;

TEST_F(GtkPresenterTest, ClickingTheLinkOpensItsAddressAndPlainTextOpensNothing) {
  const std::vector<TextRun> runs = {{"Please view the ", std::nullopt},
                                     {"system requirements", "https://www.halvex.example/req/"},
                                     {" first.", std::nullopt}};
  whenShown("Install Sample", [&](GtkWindow* window) {
    auto* view = GTK_TEXT_VIEW(child(GTK_WIDGET(window), "textView"));
    pump();  // laid out, so characters have their places
    clickAt(view, 3);
    EXPECT_EQ(handler.read(), "") << "a click on plain text opens nothing";
    clickAt(view, 20);
    gtk_button_clicked(GTK_BUTTON(child(GTK_WIDGET(window), "okButton")));
  });
  EXPECT_EQ(presenter_->runErrorDialog("Install Sample", runs, "OK"), 1);
  // The address is handed over asynchronously: keep the loop turning while waiting.
  for (int i = 0; i < 200 && handler.read().empty(); ++i) {
    pump();
    g_usleep(25 * 1000);
  }
  EXPECT_EQ(handler.read(), "https://www.halvex.example/req/");
}

TEST_F(GtkPresenterTest, TextThatIsNotUtf8IsShownRepairedNotDropped) {
  std::string text;
  whenShown("Bad", [&](GtkWindow* window) {
    text = gtk_label_get_text(GTK_LABEL(child(GTK_WIDGET(window), "messageLabel")));
    gtk_button_clicked(GTK_BUTTON(child(GTK_WIDGET(window), "okButton")));
  });
  presenter_->runAlert("Bad", "before \xFF after", "OK");
  EXPECT_EQ(text, "before \xEF\xBF\xBD after");
}

}  // namespace
}  // namespace ui::gtk
