// Runs under a virtual X server: the GTK windows of the presenter module, driven the way a
// person would, by clicking their buttons and pressing keys.
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

#include "messages/embeddedmessages.h"
#include "ui/DisplayText.h"
#include "ui/ErrorDialogController.h"
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

// Whether keys can be pressed: a compositor without a seat (a headless one) has no keyboard,
// and GTK drops a key event that comes from no device.
bool hasKeyboard() {
  return gdk_display_get_default_seat(gdk_display_get_default()) != nullptr;
}
#define SKIP_WITHOUT_KEYBOARD() \
  if (!hasKeyboard()) GTEST_SKIP() << "the display has no seat, so no keyboard"

// A key pressed and released on window, as the keyboard sends it: key bindings look keys up
// by their hardware code.
void pressKey(GtkWindow* window, guint keyval) {
  GdkDisplay* display = gdk_display_get_default();
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window))));
    event->key.keyval = keyval;
    event->key.hardware_keycode = count > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
    event->key.group = count > 0 ? static_cast<guint8>(keys[0].group) : 0;
    event->key.time = GDK_CURRENT_TIME;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
  g_free(keys);
}

std::string formatSize(std::uint64_t bytes) {
  gchar* text = g_format_size(bytes);
  std::string formatted = text;
  g_free(text);
  return formatted;
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
        GtkWindow* window = visibleWindow(p->title);
        // Laid out, not only shown: Tab follows the widgets' places, and lines their widths.
        if (window && gtk_widget_get_mapped(GTK_WIDGET(window)) &&
            gtk_widget_get_allocated_width(GTK_WIDGET(window)) > 1) {
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
  platform::Observable<TransferAmounts> transfer;
  platform::Observable<bool> pulsing{false};
  int cancels = 0;
  ProgressBinding binding() {
    return {&title, &pleaseWait, &cancelText, &percent, [this] { ++cancels; }, &transfer, &pulsing};
  }
};

class GtkPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    presenter_ = loadPresenter();
    ASSERT_NE(presenter_, nullptr) << "the module must load and GTK initialise";
    // A window that opens "without error" logs no GTK warning or critical either...
    g_log_set_always_fatal(
        static_cast<GLogLevelFlags>(G_LOG_FATAL_MASK | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
    g_test_log_set_fatal_handler(seatComplaintsOnly, nullptr);
  }
  // ...but on a compositor without a seat (a headless one) GTK itself complains of the
  // missing pointer and keyboard: there, and only of that, it may speak.
  static gboolean seatComplaintsOnly(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
    const std::string text = message ? message : "";
    const bool aboutTheSeat = text.find("GDK_IS_SEAT (seat)") != std::string::npos ||
                              text.find("GDK_IS_DEVICE (device)") != std::string::npos;
    return !(aboutTheSeat && !hasKeyboard());
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
  auto* detail = GTK_LABEL(child(GTK_WIDGET(window), "detailLabel"));
  EXPECT_STREQ(gtk_label_get_text(label), "Please wait.");
  EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(GTK_WIDGET(bar))), "Please wait.");
  EXPECT_STREQ(gtk_label_get_text(detail), "");
  EXPECT_STREQ(gtk_button_get_label(cancel), "Cancel");
  EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(cancel)));

  model_.percent.set(40);
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar), 0.4);
  model_.percent.set(250);
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar), 1.0);
  model_.percent.set(std::nan(""));
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar), 0.0);
  model_.transfer.set({1'500'000, 3'000'000, 250'000});
  EXPECT_EQ(gtk_label_get_text(detail), formatSize(1'500'000) + " / " + formatSize(3'000'000) +
                                            " \u00B7 " + formatSize(250'000) + "/s");
  model_.title.set("Установка...Sample");
  model_.cancelText.set("Abbrechen");
  EXPECT_STREQ(gtk_window_get_title(window), "Установка... Sample");
  EXPECT_STREQ(gtk_button_get_label(cancel), "Abbrechen");

  presenter_->setCancelEnabled(true);
  EXPECT_TRUE(gtk_widget_get_sensitive(GTK_WIDGET(cancel)));
  gtk_button_clicked(cancel);
  EXPECT_EQ(model_.cancels, 1);

  // A wait of unknown length: no percentage while the bar pulses, the percentage after.
  model_.pulsing.set(true);
  pump();
  EXPECT_FALSE(gtk_progress_bar_get_show_text(bar));
  model_.percent.set(20);
  model_.pulsing.set(false);
  EXPECT_TRUE(gtk_progress_bar_get_show_text(bar));
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar), 0.2);

  presenter_->closeProgress();
  pump();
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window)));
  model_.percent.set(70);
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(bar), 0.2) << "a closed window follows nothing";
}

TEST_F(GtkPresenterTest, AlertShowsItsMessageLiterallyWithTheCatalogueAddressesAsLinks) {
  const std::string page = "https://www.halvex.example/orvel/download/";
  std::string headline, message, markup;
  whenShown("Install Sample", [&](GtkWindow* window) {
    headline = gtk_label_get_text(GTK_LABEL(child(GTK_WIDGET(window), "headlineLabel")));
    auto* label = GTK_LABEL(child(GTK_WIDGET(window), "messageLabel"));
    message = gtk_label_get_text(label);
    markup = gtk_label_get_label(label);
    auto* ok = GTK_BUTTON(child(GTK_WIDGET(window), "okButton"));
    EXPECT_STREQ(gtk_button_get_label(ok), "Aceptar");
    EXPECT_EQ(gtk_window_get_focus(window), GTK_WIDGET(ok)) << "Enter dismisses the alert";
    gtk_button_clicked(ok);
  });
  presenter_->runAlert("Install Sample",
                       "<b>not bold</b> & more\nfrom " + page + ", <a href='x'>y</a>", "Aceptar");
  EXPECT_EQ(headline, "<b>not bold</b> & more");
  EXPECT_EQ(message, "from " + page + ", <a href='x'>y</a>");
  EXPECT_EQ(markup, "from <a href=\"" + page + "\">" + page +
                        "</a>, &lt;a href=&apos;x&apos;&gt;y&lt;/a&gt;");
  pump();
  EXPECT_EQ(visibleWindow("Install Sample"), nullptr);
}

TEST_F(GtkPresenterTest, ErrorDialogLinksOnlyItsLinkRunsAndStaysAfterOK) {
  const std::vector<TextRun> runs = {{"Read the <b>", std::nullopt},
                                     {"system requirements", "https://www.halvex.example/req/"},
                                     {" now.", std::nullopt}};
  std::string text, markup;
  AtkRole role = ATK_ROLE_INVALID;
  whenShown("Install Sample", [&](GtkWindow* window) {
    auto* label = GTK_LABEL(child(GTK_WIDGET(window), "messageLabel"));
    text = gtk_label_get_text(label);
    markup = gtk_label_get_label(label);
    role = atk_object_get_role(gtk_widget_get_accessible(GTK_WIDGET(window)));
    EXPECT_FALSE(gtk_widget_get_visible(child(GTK_WIDGET(window), "headlineLabel")));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(child(GTK_WIDGET(window), "okButton"))), "OK");
    gtk_button_clicked(GTK_BUTTON(child(GTK_WIDGET(window), "okButton")));
  });
  EXPECT_EQ(presenter_->runErrorDialog("Install Sample", runs, "OK"), 1);
  EXPECT_EQ(text, "Read the <b>system requirements now.");
  EXPECT_EQ(markup,
            "Read the &lt;b&gt;<a href=\"https://www.halvex.example/req/\">system "
            "requirements</a> now.");
  EXPECT_EQ(role, ATK_ROLE_DIALOG);
  pump();
  EXPECT_NE(visibleWindow("Install Sample"), nullptr) << "the dialog stays after OK";
}

TEST_F(GtkPresenterTest, EscapeAndEnterAnswerTheAlertAndTheDialog) {
  SKIP_WITHOUT_KEYBOARD();
  for (guint key : {GDK_KEY_Escape, GDK_KEY_Return}) {
    whenShown("Alert", [&](GtkWindow* window) { pressKey(window, key); });
    presenter_->runAlert("Alert", "Message.", "OK");
    whenShown("Dialog", [&](GtkWindow* window) { pressKey(window, key); });
    EXPECT_EQ(presenter_->runErrorDialog("Dialog", {{"Message.", std::nullopt}}, "OK"), 1);
  }
}

TEST_F(GtkPresenterTest, ProgressWindowOpensWithCancelUnfocusedAndOnlyEscapeCancels) {
  SKIP_WITHOUT_KEYBOARD();
  presenter_->bindProgress(model_.binding());
  presenter_->setCancelEnabled(true);
  presenter_->showProgress();
  pump();
  GtkWindow* window = visibleWindow("Installing Sample");
  ASSERT_NE(window, nullptr);
  GtkWidget* cancel = child(GTK_WIDGET(window), "cancelButton");
  EXPECT_NE(gtk_window_get_focus(window), cancel);
  EXPECT_FALSE(gtk_widget_has_default(cancel));
  pressKey(window, GDK_KEY_Return);
  pressKey(window, GDK_KEY_space);
  pressKey(window, GDK_KEY_KP_Enter);
  EXPECT_EQ(model_.cancels, 0) << "a stray key cancels nothing";
  pressKey(window, GDK_KEY_Escape);
  EXPECT_EQ(model_.cancels, 1);
  presenter_->setCancelEnabled(false);
  pressKey(window, GDK_KEY_Escape);
  EXPECT_EQ(model_.cancels, 1) << "a disabled Cancel ignores Escape";
  presenter_->closeProgress();
}

// Where the labels of window broke lines that their text did not: the character before
// each such line and the text from its start on.
std::vector<std::pair<char, std::string>> wrappedLines(GtkWindow* window) {
  std::vector<std::pair<char, std::string>> wrapped;
  for (const char* id : {"headlineLabel", "messageLabel"}) {
    PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(child(GTK_WIDGET(window), id)));
    const std::string text = pango_layout_get_text(layout);
    for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next) {
      const auto* line = static_cast<PangoLayoutLine*>(l->data);
      if (line->is_paragraph_start) continue;
      const auto start = static_cast<std::size_t>(line->start_index);
      wrapped.emplace_back(text[start - 1], text.substr(start));
    }
  }
  return wrapped;
}

// The long messages of every language as their windows show them: Korean lines end only
// at a space, and no line starts inside the runtime's name.
TEST_F(GtkPresenterTest, WindowsBreakNeitherKoreanWordsNorTheRuntimesName) {
  int koreanBreaks = 0;
  for (int row = 0; row < messages::kLanguageRowCount; ++row) {
    const bool korean = std::string(messages::allMessages[row].locale) == "ko";
    for (int index : {0, 1, 5, 6, 8, 10}) {
      const std::string text =
          messages::wchartoNSString(messages::allMessages[row].messages[index]);
      const std::string title = "Row " + std::to_string(row) + "/" + std::to_string(index);
      whenShown(title, [&](GtkWindow* window) {
        pump();
        for (const auto& [before, line] : wrappedLines(window)) {
          EXPECT_FALSE(line.starts_with("Orvel")) << title << ": " << line;
          if (!korean) continue;
          ++koreanBreaks;
          EXPECT_EQ(before, ' ') << title << ": " << line;
        }
        gtk_button_clicked(GTK_BUTTON(child(GTK_WIDGET(window), "okButton")));
      });
      presenter_->runErrorDialog(
          title, index == 8 ? parseMessageMarkup(text) : linkCatalogueAddresses(text), "OK");
    }
  }
  EXPECT_GT(koreanBreaks, 0) << "the Korean messages must wrap for this to say anything";
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
    // The system folders stay after ours: the icon theme and the MIME database live there.
    setenv("XDG_DATA_DIRS", (dir_ + "/data:/usr/local/share:/usr/share").c_str(), 1);
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

LinkHandler handler;

TEST_F(GtkPresenterTest, TabReachesTheLinkAndEnterOpensItsAddress) {
  SKIP_WITHOUT_KEYBOARD();
  const std::vector<TextRun> runs = {{"Please view the ", std::nullopt},
                                     {"system requirements", "https://www.halvex.example/req/"},
                                     {" first.", std::nullopt}};
  whenShown("Install Sample", [&](GtkWindow* window) {
    pump();
    pressKey(window, GDK_KEY_Tab);
    EXPECT_EQ(gtk_window_get_focus(window), child(GTK_WIDGET(window), "messageLabel"));
    pressKey(window, GDK_KEY_Return);
    pressKey(window, GDK_KEY_Escape);
  });
  EXPECT_EQ(presenter_->runErrorDialog("Install Sample", runs, "OK"), 1);
  // The address is handed over asynchronously, through a process of its own that a loaded
  // machine may start late: keep the loop turning while waiting, up to 20 s.
  for (int i = 0; i < 800 && handler.read().empty(); ++i) {
    pump();
    g_usleep(25 * 1000);
  }
  EXPECT_EQ(handler.read(), "https://www.halvex.example/req/");
}

// No program opens the address: the window shows it, focused and selected for copying,
// and its own texts can be selected too.
TEST_F(GtkPresenterTest, ALinkThatCannotOpenShowsItsAddressToCopy) {
  const std::string address = "naib-unopenable://www.halvex.example/req/";
  const std::vector<TextRun> runs = {
      {"Failed.\nPlease view the ", std::nullopt}, {"requirements", address}, {".", std::nullopt}};
  whenShown("Install Sample", [&](GtkWindow* window) {
    auto* shown = GTK_LABEL(child(GTK_WIDGET(window), "addressLabel"));
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(shown)));
    for (const char* id : {"headlineLabel", "messageLabel"})
      EXPECT_TRUE(gtk_label_get_selectable(GTK_LABEL(child(GTK_WIDGET(window), id)))) << id;
    gboolean handled = FALSE;
    g_signal_emit_by_name(child(GTK_WIDGET(window), "messageLabel"), "activate-link",
                          address.c_str(), &handled);
    // The launch ends asynchronously.
    for (int i = 0; i < 200 && !gtk_widget_get_visible(GTK_WIDGET(shown)); ++i) {
      pump();
      g_usleep(10 * 1000);
    }
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(shown)));
    EXPECT_EQ(gtk_label_get_text(shown), address);
    gint start = 0, end = 0;
    EXPECT_EQ(gtk_window_get_focus(window), GTK_WIDGET(shown));
    EXPECT_TRUE(gtk_label_get_selection_bounds(shown, &start, &end));
    EXPECT_EQ(end - start, static_cast<gint>(address.size()));
    gtk_button_clicked(GTK_BUTTON(child(GTK_WIDGET(window), "okButton")));
  });
  EXPECT_EQ(presenter_->runErrorDialog("Install Sample", runs, "OK"), 1);
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
