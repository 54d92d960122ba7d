"""Finding and reading the program's controls through the accessibility bus (AT-SPI)."""

import pyatspi

# Roles whose children are items rather than controls: a search for a control does not walk
# into them (the genre list alone holds 148 items).
_LEAF_ROLES = {pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX,
               pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE,
               pyatspi.ROLE_TEXT, pyatspi.ROLE_SPIN_BUTTON}
LIST_ROLES = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE}


def application(process_name):
    """The accessible application whose name is the program's name, or None."""
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == process_name:
            return app
    return None


def plain(text):
    """A caption without its mnemonic marker, as the accessible names carry it."""
    return text.replace("&&", "\0").replace("&", "").replace("\0", "&")


def same_name(accessible_name, name):
    """Whether a control's accessible name is the caption or label text given, with or without
    mnemonic marker and colon."""
    def norm(text):
        return plain(text or "").strip().rstrip(":").strip()
    return norm(accessible_name) == norm(name)


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # a control that went away while it was walked
        return []


# Roles whose accessible name may be their value: Qt names a combo box by its current entry
# and links it to its label by a relation instead.
_VALUE_NAMED_ROLES = {pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TEXT}


def label_names(node):
    """The names of the labels that label a control."""
    names = []
    try:
        for relation in node.getRelationSet():
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
                names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    except Exception:  # a control without relations
        pass
    return names


def named(node, name):
    """Whether a control carries the caption, or is labelled by a label that does."""
    if same_name(node.name, name):
        return True
    return node.getRole() in _VALUE_NAMED_ROLES and any(
        same_name(label, name) for label in label_names(node))


def find_all(root, roles, name=None, into_menus=False, limit=None):
    """Controls under root with one of the roles (and the accessible name, when given), in
    breadth-first order. Menus are walked only when into_menus is set."""
    found = []
    queue = [root]
    while queue and (limit is None or len(found) < limit):
        node = queue.pop(0)
        for child in children(node):
            if child is None:
                continue
            role = child.getRole()
            if role in roles and (name is None or named(child, name)):
                found.append(child)
            if role in _LEAF_ROLES:
                continue
            if not into_menus and role in (pyatspi.ROLE_MENU_BAR, pyatspi.ROLE_MENU):
                continue
            queue.append(child)
    return found


def find(root, roles, name=None, into_menus=False):
    matches = find_all(root, roles, name, into_menus, limit=1)
    return matches[0] if matches else None


def windows(app):
    """The program's top-level windows that are showing (whatever their role: a plain widget
    shown as a window is a filler)."""
    return [w for w in children(app) if w is not None and showing(w)]


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def selected(node):
    return node.getState().contains(pyatspi.STATE_SELECTED)


def press(node):
    """Runs a control's first action (Press, Toggle, Click) the way a screen reader does. Only
    for commands that return at once: a command that opens a modal window keeps the call
    waiting until that window closes."""
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("press", "click", "toggle", "activate", "jump"):
        if wanted in [n.lower() for n in names]:
            action.doAction([n.lower() for n in names].index(wanted))
            return
    if not names:
        raise RuntimeError(f"'{node.name}' has no action")
    action.doAction(0)


def centre(node):
    """The centre of a control on the screen."""
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x + box.width // 2, box.y + box.height // 2


def text_of(node):
    """What a text field, label or cell shows."""
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return node.name or ""


def dump(node, depth=0, max_depth=8, max_children=12):
    """The tree under a control as indented lines of role and name, for failure reports."""
    lines = []
    for i, child in enumerate(children(node)):
        if child is None:
            continue
        if i == max_children:
            lines.append("  " * depth + f"... {node.childCount - i} more")
            break
        state = "" if showing(child) else " (hidden)"
        lines.append("  " * depth + f"{child.getRoleName()} '{child.name}'{state}")
        if depth < max_depth and child.getRole() not in _LEAF_ROLES:
            lines += dump(child, depth + 1, max_depth, max_children)
    return lines


class TrackList:
    """The track list read as a table: one row per track, the column captions as keys."""

    def __init__(self, node):
        self.node = node
        self.table = node.queryTable()

    def rows(self):
        return self.table.nRows

    def columns(self):
        captions = []
        for c in range(self.table.nColumns):
            header = self.table.getColumnHeader(c)
            captions.append(header.name if header is not None else
                            self.table.getColumnDescription(c))
        return captions

    def cell(self, row, column):
        return self.table.getAccessibleAt(row, column)

    def text(self, row, column):
        cell = self.cell(row, column)
        return text_of(cell) if cell is not None else ""

    def ticked(self, row):
        return checked(self.cell(row, 0))
