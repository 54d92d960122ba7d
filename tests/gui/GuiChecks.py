"""End-to-end checks of quillonrip under a real X server, driven as a user drives it: keys and
clicks through the X server, controls found and read through the accessibility bus.

Run by GuiEndToEnd.sh inside its X server and D-Bus session:
    GuiChecks.py BIN_DIR CDDB_SERVER SCREENSHOT_DIR WORK_DIR
Exits 0 when every check passed, 1 with the reason otherwise.
"""

import sys
import time

import pyatspi

import AccessibleTree as at
import ConverterChecks
import TagEditorChecks
import XWindows as xw
from DiscImage import Disc
from GuiSession import SCALE, CheckFailed, Session

# Two short tracks to rip, and a long one that is still being ripped when Cancel is pressed
# (ripped to Ogg Vorbis, which takes seconds where WAV takes a fraction of one).
SECONDS = [3, 4, 480]
TITLES = ["Morning Tide", "Gulls Over The Water", "The Long Way Home"]
OPTIONS_PAGES = ["Common", "MP3", "WMA", "Ogg", "APE", "FreeDB", "File"]
BUTTON = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON}
LABEL = {pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC}
# The program's own windows, which a search for a message box passes over.
WINDOWS = ("Quillon Rip PRO", ConverterChecks.CAPTION, TagEditorChecks.CAPTION)
BOXES = {pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG}


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


class Checks:
    def __init__(self, session, disc, converter_inputs):
        self.s = session
        self.disc = disc
        self.converter_inputs = converter_inputs

    def run(self):
        s = self.s
        s.start(self.disc)
        s.step(f"started quillonrip (pid {s.program.pid}) with {self.disc.sheet}")
        self.main = s.window("Quillon Rip PRO", timeout=30)
        self.frame = s.accessible_window("Quillon Rip PRO")
        self.tracks = at.TrackList(s.wait(
            "the track list with three rows",
            lambda: next((t for t in at.find_all(self.frame, at.LIST_ROLES)
                          if t.queryTable().nRows == len(SECONDS)), None)))
        self.check_fresh_list()
        s.wait("'Audio Disc' in the status bar", lambda: "Audio Disc" in self.status_texts())
        # The settings reach the options window on the first tick after start-up.
        s.wait("'Rip to: WAV' in the status bar",
               lambda: any(t.startswith("Rip to:") and "WAV" in t for t in self.status_texts()))
        s.shot("main-window", [self.main])

        s.step("F5 refreshes the list")
        s.keys(self.main, "F5")
        s.wait("the refreshed list", lambda: self.tracks.rows() == len(SECONDS))
        self.check_fresh_list()

        self.lookup()
        self.rip_two_tracks()
        self.options_window()
        self.about_window()
        self.translations()
        self.cancel_rip()
        ConverterChecks.ConverterChecks(self, self.converter_inputs).run()
        # The tag editor stays open: the main window closes it when it closes.
        TagEditorChecks.TagEditorChecks(self).run()
        self.eject_and_exit()

    # The steps --------------------------------------------------------------------------------

    def open_from_extras(self, entry, key, caption):
        """Opens a window from the Extras menu by keyboard: its X window and accessible frame."""
        s = self.s
        s.step(f"Extras > {entry} (Alt+X, {key.upper()}) opens the {caption}")
        s.keys(self.main, "alt+x")
        s.control(self.frame, {pyatspi.ROLE_MENU_ITEM}, entry, into_menus=True)
        xw.key(key)
        return s.window(caption), s.accessible_window(caption)

    def status_texts(self):
        bar = at.find(self.frame, {pyatspi.ROLE_STATUS_BAR})
        if bar is None:
            return []
        texts = [at.text_of(n) for n in at.find_all(bar, LABEL)]
        return texts + ([bar.name] if bar.name else [])

    def column(self, caption):
        columns = self.tracks.columns()
        expect(caption in columns, f"the track list has no column '{caption}': {columns}")
        return columns.index(caption)

    def texts(self, caption):
        c = self.column(caption)
        return [self.tracks.text(r, c) for r in range(self.tracks.rows())]

    def check_fresh_list(self):
        expected_columns = ["Track", "Title", "Status", "Artist", "Album", "Year", "Genre",
                            "Comment"]
        expect(self.tracks.columns() == expected_columns,
               f"track list columns {self.tracks.columns()}, expected {expected_columns}")
        rows = range(1, len(SECONDS) + 1)
        for caption, expected in (("Track", [self.disc.caption(n) for n in rows]),
                                  ("Title", [f"Track {n}" for n in rows]),
                                  ("Status", ["not ripped"] * len(SECONDS))):
            expect(self.texts(caption) == expected,
                   f"column {caption} shows {self.texts(caption)}, expected {expected}")
        expect(all(self.tracks.ticked(r) for r in range(len(SECONDS))),
               "a new track list has unticked rows")

    def message_box(self, known, timeout=30):
        """Waits for a message box; its X id, accessible window and texts."""
        box = self.s.new_window(known, "a message box", timeout)
        dialog = self.s.wait("the message box on the accessibility bus", lambda: next(
            (w for w in at.windows(self.s.application())
             if w.getRole() in BOXES or not w.name.startswith(WINDOWS)),
            None))
        texts = self.s.wait("the message box's text", lambda: [
            at.text_of(n) for n in at.find_all(dialog, LABEL) if at.text_of(n)])
        return box, dialog, texts

    def close_message_box(self, box, dialog):
        at.press(self.s.control(dialog, BUTTON, "OK"))
        self.s.gone(box, "the message box")

    def lookup(self):
        s = self.s
        s.step("Ctrl+L looks the disc up on the CD database test server")
        known = set(xw.visible_windows(s.program.pid))
        s.keys(self.main, "ctrl+l")
        box, dialog, texts = self.message_box(known)
        expect("Operation complete successful" in texts,
               f"the lookup ended with the message {texts} ('{dialog.name}')")
        s.shot("lookup-complete", [self.main, box])
        self.close_message_box(box, dialog)
        for caption, expected in (("Title", TITLES),
                                  ("Artist", [Disc.artist] * len(SECONDS)),
                                  ("Album", [Disc.album] * len(SECONDS)),
                                  ("Year", [Disc.year] * len(SECONDS)),
                                  ("Genre", [Disc.genre] * len(SECONDS))):
            try:
                s.wait(f"the {caption} column to show {expected}",
                       lambda: self.texts(caption) == expected, timeout=5)
            except CheckFailed as failure:
                raise CheckFailed(f"{failure}; it shows {self.texts(caption)}") from None
        s.shot("main-window-after-lookup", [self.main])

    def options_window(self):
        s = self.s
        s.step("Ctrl+, opens the options window; every page is shown in turn")
        s.keys(self.main, "ctrl+comma")
        window = s.window("Options")
        options = s.accessible_window("Options")
        tabs = s.control(options, {pyatspi.ROLE_PAGE_TAB_LIST}, None, "the options' pages")
        pages = [t for t in at.children(tabs) if t.getRole() == pyatspi.ROLE_PAGE_TAB]
        names = [at.plain(p.name) for p in pages]
        expect(names == OPTIONS_PAGES, f"the options window's pages are {names}, "
                                       f"expected {OPTIONS_PAGES}")
        for i, page in enumerate(pages):
            if i == 1:
                s.keys(window, "ctrl+Tab")  # the keyboard's way to the next page
            elif i > 1:
                at.press(page)
            # The page list is named by its current page.
            s.wait(f"the page '{names[i]}' to be shown",
                   lambda: at.same_name(tabs.name, names[i]) or at.selected(page), timeout=5)
            s.shot(f"options-{names[i]}", [window])
            if names[i] == "File":
                field = s.control(options, {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY}, "Rip to:")
                expect(at.text_of(field) == str(s.out),
                       f"'Rip to:' shows '{at.text_of(field)}', the settings hold '{s.out}'")
        # Back on the first page, the format for the rip that is cancelled later. (Done last: a
        # combo box keeps Ctrl+Tab for itself once it has the focus.)
        at.press(pages[0])
        s.wait("the first page to be shown", lambda: at.same_name(tabs.name, names[0]), timeout=5)
        self.choose_format(options, "OGG")
        s.x.request_close(window)
        s.gone(window, "the options window")

    def choose_format(self, options, format):
        """Chooses the rip format as a user does: a click opens the list, a letter finds the
        entry, Return takes it. The main window's status bar follows."""
        s = self.s
        formats = s.control(options, {pyatspi.ROLE_COMBO_BOX}, "Rip/Convert to Format")
        s.click(formats)
        xw.key(format[0].lower(), "Return")
        s.wait(f"'Rip to: {format}' in the status bar", lambda: any(
            t.startswith("Rip to:") and format in t for t in self.status_texts()), timeout=5)

    def about_window(self):
        s = self.s
        s.step("the About button opens the about window, a click closes it")
        known = set(xw.visible_windows(s.program.pid))
        s.click(s.control(self.frame, BUTTON, "About"))
        about = s.new_window(known, "the about window")
        # It opens with an animation that grows the part of it that shows (its shape): it is
        # complete when all of it shows and the screen no longer changes. (Xvfb has no
        # compositor, so a fade-in does not show.)
        previous = [None]

        def settled():
            box = xw.geometry(about)
            if s.x.shown_area(about) < box[2] * box[3]:
                return False
            now = (box, xw.pixels(box))
            same = now == previous[0]
            previous[0] = now
            return same
        s.wait("the about window's opening animation to end", settled, timeout=10)
        box = xw.geometry(about)
        expect(box[2] > 50 and box[3] > 50, f"the about window is only {box[2]}x{box[3]} pixels")
        s.shot("about-window", [about])
        xw.click(box[0] + box[2] // 2, box[1] + box[3] // 2)
        s.gone(about, "the about window (clicked)")

    def translations(self, windows=None):
        """Shows the main window and the options' busiest page in each translation (for a look
        at texts that no longer fit), then goes back to English. Given windows (name and X id),
        it photographs those instead."""
        s = self.s
        menus = s.control(self.frame, {pyatspi.ROLE_MENU_BAR}, None, "the menu bar")
        languages = s.control(menus, {pyatspi.ROLE_MENU_ITEM}, "Language", into_menus=True)
        codes = [at.plain(i.name) for i in at.find_all(languages, {pyatspi.ROLE_MENU_ITEM},
                                                         into_menus=True)]
        expect("ENG" in codes, f"the Language menu lists {codes}, without ENG")
        for code in [c for c in codes if c != "ENG"] + ["ENG"]:
            s.step(f"Language > {code}")
            first_menu = at.children(menus)[0]
            before = first_menu.name
            at.press(s.control(languages, {pyatspi.ROLE_MENU_ITEM}, code, into_menus=True))
            if code == "ENG":
                s.wait("the menus in English", lambda: at.plain(first_menu.name) == "File")
                break
            s.wait(f"the menus in {code}", lambda: first_menu.name != before)
            if windows:
                for name, window in windows:
                    s.shot(f"{name}-{code}", [window])
                continue
            s.shot(f"main-window-{code}", [self.main])
            s.keys(self.main, "ctrl+comma")
            window = s.window("Options")
            options = s.accessible_window("Options")
            tabs = s.control(options, {pyatspi.ROLE_PAGE_TAB_LIST}, None, "the options' pages")
            page = [t for t in at.children(tabs) if t.getRole() == pyatspi.ROLE_PAGE_TAB][1]
            at.press(page)
            s.wait("the second page to be shown", lambda: tabs.name == page.name, timeout=5)
            s.shot(f"options-2-{code}", [window])
            s.x.request_close(window)
            s.gone(window, "the options window")

    def rip_two_tracks(self):
        s = self.s
        s.step("Space unticks track 3; Ctrl+R rips tracks 1 and 2")
        s.click(self.tracks.cell(2, self.column("Title")))
        s.wait("row 3 to be selected", lambda: at.selected(self.tracks.cell(2, 0)) or
               at.selected(self.tracks.cell(2, 1)), timeout=5)
        s.keys(self.main, "space")
        s.wait("row 3 to be unticked", lambda: not self.tracks.ticked(2), timeout=5)
        expect(self.tracks.ticked(0) and self.tracks.ticked(1), "Space changed another row")
        s.keys(self.main, "ctrl+r")
        names = [self.disc.file_name(1), self.disc.file_name(2)]
        s.wait(f"the files {names} in {s.out}",
               lambda: all((s.out / n).is_file() for n in names), timeout=30)
        s.wait("the Status column to show Complete for tracks 1 and 2",
               lambda: self.texts("Status") == ["Complete", "Complete", "not ripped"],
               timeout=30)
        s.wait("the progress window to close",
               lambda: xw.visible_windows(s.program.pid) == [self.main])
        for n, name in ((1, names[0]), (2, names[1])):
            size = (s.out / name).stat().st_size
            expect(size >= self.disc.track_bytes(n) + 44,
                   f"{name} holds {size} bytes, less than track {n}'s audio")
        wavs = sorted(p.name for p in s.out.glob("*.WAV"))
        expect(wavs == names, f"the rip wrote {wavs}, expected {names}")
        s.shot("main-window-after-rip", [self.main])

    def cancel_rip(self):
        s = self.s
        s.step("Invert Selection ticks only track 3; RIP; Cancel in the progress window")
        at.press(s.control(self.frame, {pyatspi.ROLE_MENU_ITEM}, "Invert Selection",
                           into_menus=True))
        s.wait("only row 3 to be ticked", lambda: [self.tracks.ticked(r) for r in range(3)] ==
               [False, False, True], timeout=5)
        known = set(xw.visible_windows(s.program.pid))
        s.keys(self.main, "ctrl+r")
        progress = s.new_window(known, "the progress window")
        dialog = s.wait("the progress window on the accessibility bus", lambda: next(
            (w for w in at.windows(s.application()) if w != self.frame and
             at.find(w, {pyatspi.ROLE_PROGRESS_BAR}) is not None), None))
        bar = at.find(dialog, {pyatspi.ROLE_PROGRESS_BAR})
        s.wait("the progress bar to move", lambda: bar.queryValue().currentValue > 0)
        status = self.texts("Status")[2]
        expect(status.endswith("% Done"), f"row 3's status during its rip is '{status}'")
        s.shot("progress-window", [self.main, progress])
        at_cancel = bar.queryValue().currentValue
        s.click(s.control(dialog, BUTTON, "Cancel"))
        s.step(f"Cancel pressed at {at_cancel:.0f} %")
        s.gone(progress, "the progress window (Cancel)")
        # The rip engine discards a stopped track's output: its row says so, and no part of the
        # file is left under its name or any other.
        s.wait("row 3's Status to show Stopped", lambda: self.texts("Status")[2] == "Stopped")
        expect(self.texts("Status")[:2] == ["Complete", "Complete"],
               f"Cancel changed the Status of the rows ripped before: {self.texts('Status')}")
        left = sorted(p.name for p in s.out.iterdir())
        expected = [self.disc.file_name(1), self.disc.file_name(2)]
        expect(left == expected, f"after Cancel at {at_cancel:.0f} % the output folder holds "
                                 f"{left}, expected only {expected}")
        expect(at.enabled(self.tracks.node), "the track list stays disabled after Cancel")
        s.shot("main-window-after-cancel", [self.main])

    def eject_and_exit(self):
        s = self.s
        s.step("Ctrl+E ejects, F5 refreshes, Ctrl+Q exits")
        for keys in ("ctrl+e", "F5"):
            known = set(xw.visible_windows(s.program.pid))
            s.keys(self.main, keys)
            # A disc image has no tray: the window may say so in a message box.
            disc_state = s.wait("the status bar to show the disc's state, or a message", lambda: (
                [w for w in xw.visible_windows(s.program.pid) if w not in known] or
                any(t in ("Audio Disc", "No Disc") for t in self.status_texts())))
            if disc_state is not True:
                box, dialog, texts = self.message_box(known)
                s.step(f"note: {keys} showed the message {texts}")
                self.close_message_box(box, dialog)
        s.keys(self.main, "ctrl+q")
        code = self.wait_exit()
        expect(code == 0, f"quillonrip ended with exit status {code} after Ctrl+Q")
        self.check_settings()

    def wait_exit(self):
        deadline = time.monotonic() + 20 * SCALE
        while time.monotonic() < deadline:
            code = self.s.program.process.poll()
            if code is not None:
                return code
            time.sleep(0.1)
        raise CheckFailed("quillonrip did not end within 20 s of Ctrl+Q")

    def check_settings(self):
        text = self.s.settings.read_text()
        expect(text != self.s.settings_before, "closing the window did not write the settings")
        values = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
        for name, value in (("FilePath", str(self.s.out)), ("RipToFormat", "OGG"),
                            ("Language", "ENG")):
            expect(values.get(name) == value,
                   f"the saved settings hold {name}={values.get(name)}, expected {value}")
        for name in ("Left", "Top", "Width", "Height", "InformWhenDone", "OutputFileNameFormat",
                     "SavePlayList", "FreeDBServer"):
            expect(name in values, f"the saved settings lack {name}")


def main():
    bin_dir, server, shots, work = sys.argv[1:5]
    session = Session(bin_dir, server, shots, work)
    disc = Disc(session.work / "disc", SECONDS, TITLES)
    disc.write()
    converter_inputs = ConverterChecks.prepare(session.work / "inputs")
    TagEditorChecks.prepare(session.home, session.bin, session.work / "scratch")
    try:
        Checks(session, disc, converter_inputs).run()
    except (CheckFailed, RuntimeError) as failure:
        print(f"gui: FAILED: {failure}", flush=True)
        session.report_failure()
        return 1
    finally:
        session.stop()
    print("gui: every check passed", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
