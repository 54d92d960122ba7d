"""The converter window driven as a user drives it: opened from the main window's menu by
keyboard, files added through its file dialog, every output format converted in turn and each
output checked with ffprobe, a long conversion stopped."""

import re

import pyatspi

import AccessibleTree as at
import AudioFiles
import XWindows as xw
from GuiSession import CheckFailed

CAPTION = "Quillon Audio Converter"
COLUMNS = ["Track", "Title", "Status", "Artist", "Album", "Year", "Genre", "Comment", "Duration"]
# Each is chosen by typing its name in the options window's list. OGG comes last: the settings
# saved at the end are checked for it.
FORMATS = ["MP3", "WMA", "APE", "FLAC", "WAV", "OGG"]
BUTTON = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON}
# Encoder delay and padding, whole frames and the rounding of short lengths.
DURATION_TOLERANCE = 0.25


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


def prepare(folder):
    """Writes the converter's inputs into folder, and the long one that is stopped; the paths
    of the first ones."""
    folder.mkdir(parents=True, exist_ok=True)
    AudioFiles.make(folder, AudioFiles.LONG_INPUT)
    return [AudioFiles.make(folder, spec) for spec in AudioFiles.CONVERTER_INPUTS]


class ConverterChecks:
    def __init__(self, checks, inputs):
        self.c = checks
        self.s = checks.s
        self.inputs = inputs

    def run(self):
        self.open_window()
        self.add_files()
        self.select_row(1)
        self.s.shot("converter-files", [self.window])
        for format in FORMATS:
            self.convert_to(format)
        self.stop_run()
        self.s.shot("converter-converted", [self.window])
        self.c.translations([("converter", self.window)])
        self.s.x.request_close(self.window)
        self.s.gone(self.window, "the converter window")

    # The steps --------------------------------------------------------------------------------

    def open_window(self):
        s = self.s
        self.window, self.frame = self.c.open_from_extras("Files Converter...", "f", CAPTION)
        self.files = at.TrackList(s.control(self.frame, at.LIST_ROLES, "Files", "the list 'Files'"))
        expect(self.files.columns() == COLUMNS,
               f"the converter's columns are {self.files.columns()}, expected {COLUMNS}")
        expect(self.files.rows() == 0, f"a new converter lists {self.files.rows()} files")
        expect(not at.enabled(self.button("Stop")), "Stop is enabled before any run")

    def button(self, name):
        return self.s.control(self.frame, BUTTON, name)

    def texts(self, caption):
        c = COLUMNS.index(caption)
        return [self.files.text(r, c) for r in range(self.files.rows())]

    def status_texts(self):
        bar = at.find(self.frame, {pyatspi.ROLE_STATUS_BAR})
        if bar is None:
            return []
        return [at.text_of(n) for n in at.find_all(bar, {pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC})]

    def open_files(self, paths):
        """Chooses files of one folder in the window's file dialog, as a user types them."""
        s = self.s
        folder = paths[0].parent
        names = " ".join(f'"{p.name}"' for p in paths)
        s.step(f"Ctrl+O; the file dialog goes to {folder}; {names}, Return")
        known = set(xw.visible_windows(s.program.pid))
        s.keys(self.window, "ctrl+o")
        dialog = s.new_window(known, "the file dialog")
        # Qt's own dialog: its file name box has the focus; a folder typed there is opened.
        xw.focus(dialog)
        xw.type_text(str(folder))
        xw.key("Return")
        s.wait("the file dialog to show the input folder",
               lambda: any(self.lists(w, paths[0].name) for w in at.windows(s.application())
                           if w != self.frame))
        xw.type_text(names)
        xw.key("Return")
        s.gone(dialog, "the file dialog")

    def add_files(self):
        s = self.s
        self.open_files(self.inputs)
        s.wait("the list to show three rows", lambda: self.files.rows() == len(self.inputs))
        expected = [str(p) for p in self.inputs]
        s.wait(f"the rows {expected}", lambda: self.texts("Track") == expected, timeout=5)
        for caption, values in (
                ("Title", [i.shown(i.title) for i in AudioFiles.CONVERTER_INPUTS]),
                ("Artist", [i.shown(i.artist) for i in AudioFiles.CONVERTER_INPUTS]),
                ("Status", ["not converted"] * len(self.inputs))):
            expect(self.texts(caption) == values,
                   f"the converter's column {caption} shows {self.texts(caption)}, "
                   f"expected {values}")
        expect(all(self.files.ticked(r) for r in range(len(self.inputs))),
               "added rows are not ticked")

    @staticmethod
    def lists(window, name):
        """Whether a list or table in the window shows an item of that name."""
        return any(at.plain(item.name or "") == name
                   for view in at.find_all(window, at.LIST_ROLES | {pyatspi.ROLE_LIST})
                   for item in at.children(view) if item is not None)

    def select_row(self, row):
        """A click on a row fills the tag panel from it."""
        s = self.s
        spec = AudioFiles.CONVERTER_INPUTS[row]
        s.step(f"a click on row {row + 1} shows its tags in the tag panel")
        s.click(self.files.cell(row, COLUMNS.index("Title")))
        for name, value in (("Title", spec.title), ("Artist", spec.artist),
                            ("Album", spec.album), ("Year", spec.year)):
            field = s.control(self.frame, {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY}, name)
            s.wait(f"the tag panel's '{name}' to show '{value}'",
                   lambda: at.text_of(field) == value, timeout=5)

    def choose_format(self, format):
        """Opens the options window with Ctrl+, from the converter, chooses the format (and
        checks the folder the first time), closes it."""
        s = self.s
        s.keys(self.window, "ctrl+comma")
        window = s.window("Options")
        options = s.accessible_window("Options")
        tabs = s.control(options, {pyatspi.ROLE_PAGE_TAB_LIST}, None, "the options' pages")
        pages = [t for t in at.children(tabs) if t.getRole() == pyatspi.ROLE_PAGE_TAB]
        if format == FORMATS[0]:
            at.press(pages[-1])
            s.wait("the page 'File'", lambda: at.same_name(tabs.name, "File"), timeout=5)
            field = s.control(options, {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY}, "Convert to:")
            shown = at.text_of(field).rstrip("/")
            expect(shown == str(s.converted),
                   f"'Convert to:' shows '{shown}', the settings hold '{s.converted}'")
        at.press(pages[0])
        s.wait("the page 'Common'", lambda: at.same_name(tabs.name, "Common"), timeout=5)
        formats = s.control(options, {pyatspi.ROLE_COMBO_BOX}, "Rip/Convert to Format")
        s.click(formats)
        xw.key(*format.lower(), "Return")
        s.wait(f"the format list to show {format}", lambda: formats.name == format, timeout=5)
        s.x.request_close(window)
        s.gone(window, "the options window")

    def outputs(self, format):
        """The output of each row in the format, by the row number its name starts with."""
        found = []
        for n in range(1, len(self.inputs) + 1):
            matches = [p for p in self.s.converted.glob(f"{n:02d}-*")
                       if p.suffix.upper() == "." + format]
            found.append(matches[0] if len(matches) == 1 else None)
        return found

    def convert_to(self, format):
        s = self.s
        s.step(f"converting the three files to {format}")
        self.choose_format(format)
        known = set(xw.visible_windows(s.program.pid))
        s.keys(self.window, "ctrl+r")
        convert = self.button("Convert")

        def done():
            # The outputs exist only once this run has started, and Convert is enabled again
            # only when it is over.
            if [w for w in xw.visible_windows(s.program.pid) if w not in known]:
                return "a window"
            return (all(self.outputs(format)) and at.enabled(convert) and
                    self.texts("Status") == ["Complete"] * len(self.inputs))
        try:
            outcome = s.wait(f"every row's Status to show Complete ({format})", done, timeout=60)
        except CheckFailed as failure:
            raise CheckFailed(f"{failure}; Status {self.texts('Status')}, status bar "
                              f"{self.status_texts()}, outputs {self.outputs(format)}") from None
        if outcome == "a window":
            box, dialog, texts = self.c.message_box(known)
            s.shot(f"converter-{format}-message", [self.window, box])
            raise CheckFailed(f"converting to {format} showed the message {texts}; Status "
                              f"{self.texts('Status')}, status bar {self.status_texts()}")
        for spec, output in zip(AudioFiles.CONVERTER_INPUTS, self.outputs(format)):
            codec, seconds, channels = AudioFiles.probe(output)
            expect(codec == AudioFiles.OUTPUT_CODECS[format],
                   f"{output.name}: ffprobe reads the codec {codec}, expected "
                   f"{AudioFiles.OUTPUT_CODECS[format]}")
            expect(seconds is not None and abs(seconds - spec.seconds) <= DURATION_TOLERANCE,
                   f"{output.name} lasts {seconds} s, its input {spec.name} {spec.seconds} s")
            # Mono input is converted to stereo on its way to every sink but WMA's, whose
            # profile sets the channels.
            expect(format == "WMA" or channels == 2,
                   f"{output.name} has {channels} channels, expected 2")
        s.step(f"{format}: {', '.join(p.name for p in self.outputs(format))} checked")

    def stop_run(self):
        """Escape during the conversion of a long file stops the run: the file's row says
        "Stopped" and no part of its output is left."""
        s = self.s
        long = self.inputs[0].parent / AudioFiles.LONG_INPUT.name
        self.open_files([long])
        rows = len(self.inputs) + 1
        s.wait("the list to show the long file", lambda: self.files.rows() == rows)
        s.step("Ctrl+R, then Escape while the long file is converted")
        s.keys(self.window, "ctrl+r")
        s.wait("the long file's conversion to make progress", lambda: re.fullmatch(
            r"[1-9]\d*% Done", self.texts("Status")[-1]), timeout=30)
        s.keys(self.window, "Escape")
        convert = self.button("Convert")
        s.wait("the long file's Status to show Stopped",
               lambda: self.texts("Status")[-1] == "Stopped" and at.enabled(convert))
        expect(self.texts("Status")[:-1] == ["Complete"] * len(self.inputs),
               f"the rows converted before Stop show {self.texts('Status')[:-1]}")
        left = [p.name for p in s.converted.glob(f"{rows:02d}-*")]
        expect(not left, f"the stopped conversion left {left}")
