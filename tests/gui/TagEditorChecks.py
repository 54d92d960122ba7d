"""The tag editor window driven as a user drives it: opened from the main window's menu by
keyboard, a folder of the home place chosen in its folder tree, a file picked, both pages shown
and photographed, a new title saved into the file."""

import pyatspi

import AccessibleTree as at
import AudioFiles
import XWindows as xw
from GuiSession import CheckFailed

CAPTION = "MP3, OGG, APE Tag Editor"
FOLDER = "Tags"  # in the program's home folder, the first place the window offers
TEXT = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY}
ITEMS = {pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_TREE_ITEM}


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


def prepare(home, bin_dir, scratch):
    """Writes the tag editor's folder into home: an MP3, an Ogg Vorbis and a Monkey's Audio
    file, and a FLAC file that the window does not list."""
    folder = home / FOLDER
    folder.mkdir(parents=True, exist_ok=True)
    made = {spec.name: AudioFiles.make(folder, spec) for spec in AudioFiles.TAG_EDITOR_INPUTS}
    flac = next(p for n, p in made.items() if n.endswith(".flac"))
    AudioFiles.make_ape(bin_dir, flac, folder / AudioFiles.TAG_EDITOR_APE, scratch)
    return folder


def items(node):
    """The names of the items of a list or tree, with the items."""
    return [(at.plain(i.name or ""), i) for i in at.children(node) if i is not None and
            i.getRole() in ITEMS]


class TagEditorChecks:
    def __init__(self, checks):
        self.c = checks
        self.s = checks.s

    def run(self):
        s = self.s
        self.window, self.frame = self.c.open_from_extras("Tag Editor...", "t", CAPTION)
        s.control(self.frame, {pyatspi.ROLE_COMBO_BOX}, "Places", "the place list")
        self.folder = s.home / FOLDER
        self.choose_folder()
        self.pick_file()
        self.pages()
        self.edit_and_save()

    def choose_folder(self):
        s = self.s
        s.step(f"the folder tree: {FOLDER} in the home place")
        tree = s.control(self.frame, at.LIST_ROLES, "Folders", "the folder tree")
        entry = s.wait(f"'{FOLDER}' in the folder tree", lambda: dict(items(tree)).get(FOLDER))
        s.click(entry)
        files = s.control(self.frame, {pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX}, "Files",
                          "the file list")
        expected = sorted([AudioFiles.TAG_EDITOR_APE] +
                          [i.name for i in AudioFiles.TAG_EDITOR_INPUTS
                           if not i.name.endswith(".flac")], key=str.lower)
        s.wait(f"the file list to show {expected}",
               lambda: sorted((n for n, _ in items(files)), key=str.lower) == expected)
        self.files = files

    def field(self, name):
        return self.s.control(self.frame, TEXT, name)

    def pick_file(self):
        s = self.s
        mp3 = AudioFiles.TAG_EDITOR_INPUTS[0]
        s.step(f"picking {mp3.name}")
        s.click(dict(items(self.files))[mp3.name])
        for name, value in (("Title", mp3.title), ("Artist", mp3.artist), ("Album", mp3.album),
                            ("Year", mp3.year)):
            s.wait(f"'{name}' to show '{value}'",
                   lambda: at.text_of(self.field(name)) == value, timeout=5)
        ok = s.control(self.frame, {pyatspi.ROLE_PUSH_BUTTON}, "OK")
        expect(not at.enabled(ok), "OK is enabled right after a file was loaded")

    def pages(self):
        s = self.s
        tabs = s.control(self.frame, {pyatspi.ROLE_PAGE_TAB_LIST}, None, "the pages")
        s.wait("the page 'Media Info'", lambda: at.same_name(tabs.name, "Media Info"), timeout=5)
        s.shot("tag-editor-media-info", [self.window])
        # The focus is in the file list, where Ctrl+Tab does not reach the pages: the page's
        # mnemonic does.
        s.step("Alt+F shows the page 'File Info'")
        s.keys(self.window, "alt+f")
        s.wait("the page 'File Info'", lambda: at.same_name(tabs.name, "File Info"), timeout=5)
        duration = self.field("Duration")
        s.wait("the duration of the two-second file",
               lambda: at.text_of(duration).endswith("00:02"), timeout=5)
        s.shot("tag-editor-file-info", [self.window])
        self.c.translations([("tag-editor", self.window)])

    def edit_and_save(self):
        """A title typed on the "Media Info" page and saved with Ctrl+S reaches the file."""
        s = self.s
        mp3 = AudioFiles.TAG_EDITOR_INPUTS[0]
        title = mp3.title + " \u00e0 deux"
        s.step(f"Alt+M, a new title '{title}', Ctrl+S")
        s.keys(self.window, "alt+m")
        tabs = s.control(self.frame, {pyatspi.ROLE_PAGE_TAB_LIST}, None, "the pages")
        s.wait("the page 'Media Info'", lambda: at.same_name(tabs.name, "Media Info"), timeout=5)
        field = self.field("Title")
        s.click(field)
        xw.key("ctrl+a")
        xw.type_text(title)
        ok = s.control(self.frame, {pyatspi.ROLE_PUSH_BUTTON}, "OK")
        s.wait("OK to be enabled by the edit", lambda: at.enabled(ok), timeout=5)
        xw.key("ctrl+s")
        s.wait("OK to be disabled by the save", lambda: not at.enabled(ok), timeout=5)
        written = AudioFiles.probe_title(self.folder / mp3.name)
        expect(written == title, f"after Ctrl+S the file's title is '{written}', expected "
                                 f"'{title}'")
