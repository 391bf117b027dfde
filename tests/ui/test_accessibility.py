"""The windows as a screen reader meets them, read over AT-SPI from the real preview
program: the roles of the windows, the name of the progress bar, the focus when the
progress window opens, and the links of the alert and of the error dialog.

Runs under a virtual X server inside its own D-Bus session, with the system's Python
(python3-pyatspi):
    xvfb-run -a dbus-run-session -- /usr/bin/python3 test_accessibility.py
NAIB_UI_PREVIEW names the naib-ui-preview program.
"""
import os
import subprocess
import time
import unittest

import pyatspi

PREVIEW = os.environ.get("NAIB_UI_PREVIEW", "")
LANGUAGES = ["de", "en", "es", "fr", "it", "ja", "ko", "pt", "ru", "zh-Hans", "zh-Hant",
             "cs", "nl", "pl", "sv", "tr"]
SITE_FOLDERS = {"de": "de/", "en": "", "es": "es/", "fr": "fr/", "it": "it/", "ja": "jp/",
                "ko": "kr/", "pt": "br/", "ru": "ru/", "zh-Hans": "cn/", "zh-Hant": "tw/",
                "cs": "cz/", "nl": "nl/", "pl": "pl/", "sv": "se/", "tr": "tr/"}


def page(kind, language):
    return f"https://www.halvex.example/{SITE_FOLDERS[language]}orvel/{kind}/"


def descendants(accessible):
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def content(window):
    """The window's own widgets: without the title bar (a panel with the window's title and
    Close button) that the toolkit draws itself where the compositor draws none, as on
    Wayland."""
    for i in range(window.childCount):
        child = window.getChildAtIndex(i)
        if child is None or child.getRole() == pyatspi.ROLE_PANEL:
            continue
        yield child
        yield from descendants(child)


class Shown:
    """One window of the preview program in a language, as its accessible toplevel."""

    def __init__(self, window, language):
        # LANGUAGE names the Chinese rows the POSIX way.
        tag = {"zh-Hans": "zh_CN", "zh-Hant": "zh_TW"}.get(language, language)
        env = dict(os.environ, LANGUAGE=tag, LANG="C.UTF-8")
        self.process = subprocess.Popen([PREVIEW, window], env=env)

    def __enter__(self):
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            for app in applications():
                try:
                    if app.get_process_id() != self.process.pid:
                        continue
                except Exception:  # an earlier window's program, gone meanwhile
                    continue
                windows = [app.getChildAtIndex(i) for i in range(app.childCount)]
                windows = [w for w in windows if w is not None and w.childCount > 0]
                if windows:
                    return windows[0]
            time.sleep(0.1)
        self.__exit__(None, None, None)
        raise AssertionError("the window never appeared on the accessibility bus")

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(timeout=10)


def applications():
    desktop = pyatspi.Registry.getDesktop(0)
    return [app for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount))
            if app is not None]


def links_of(window):
    """(address, name) of every link a screen reader finds in the window's texts, where
    the name must be words of the text that holds the link."""
    found = []
    for accessible in descendants(window):
        if "Hypertext" not in pyatspi.listInterfaces(accessible):
            continue
        hypertext = accessible.queryHypertext()
        text = accessible.queryText().getText(0, -1)
        links = [a for a in descendants(accessible) if a.getRole() == pyatspi.ROLE_LINK]
        assert len(links) == hypertext.getNLinks(), "one link object per link of the text"
        for i, link in enumerate(links):
            assert link.name and link.name in text, (link.name, text)
            found.append((hypertext.getLink(i).getURI(0), link.name))
    return found


def setUpModule():
    # The first question starts the accessibility bus and its registry; an application
    # started before them would register too late for this process to hear of it.
    applications()


class Accessibility(unittest.TestCase):
    def test_error_dialog_is_a_dialog_with_exactly_one_link_in_every_language(self):
        for language in LANGUAGES:
            with self.subTest(language=language), Shown("dialog", language) as window:
                self.assertEqual(window.getRole(), pyatspi.ROLE_DIALOG)
                links = links_of(window)
                self.assertEqual(len(links), 1, links)
                self.assertEqual(links[0][0], page("system-requirements", language))

    def test_alert_is_an_alert_whose_address_is_its_one_link(self):
        with Shown("alert", "de") as window:
            self.assertEqual(window.getRole(), pyatspi.ROLE_ALERT)
            address = page("download", "de")
            self.assertEqual(links_of(window), [(address, address)],
                             "the comma after the address is no part of the link")

    def test_progress_bar_is_named_by_the_please_wait_text_and_cancel_is_unfocused(self):
        with Shown("progress", "ja") as window:
            self.assertEqual(window.getRole(), pyatspi.ROLE_DIALOG)
            bars = [a for a in content(window) if a.getRole() == pyatspi.ROLE_PROGRESS_BAR]
            self.assertEqual([bar.name for bar in bars], ["お待ちください。"])
            buttons = [a for a in content(window) if a.getRole() == pyatspi.ROLE_PUSH_BUTTON]
            self.assertEqual([b.name for b in buttons], ["キャンセル"])
            self.assertFalse(buttons[0].getState().contains(pyatspi.STATE_FOCUSED))


if __name__ == "__main__":
    if not PREVIEW:
        raise SystemExit("NAIB_UI_PREVIEW must name the naib-ui-preview program")
    unittest.main(verbosity=2)
