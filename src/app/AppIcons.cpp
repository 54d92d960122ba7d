#include "app/AppIcons.h"

// The resources live in a static library, whose initialiser the linker may drop: they are
// registered by hand, outside any namespace as the macro requires.
static void InitQuillonResources() {
    Q_INIT_RESOURCE(quillonrip);
}

namespace quillon {

namespace {

QString OwnIcon(const QString& name) {
    static const bool initialised = [] {
        InitQuillonResources();
        return true;
    }();
    (void)initialised;
    return ":/icons/" + name + ".svg";
}

} // namespace

QIcon ThemeIcon(const QString& name) {
    return QIcon::fromTheme(name, QIcon(OwnIcon(name)));
}

QIcon ApplicationIcon() {
    return QIcon::fromTheme("quillonrip", QIcon(OwnIcon("quillonrip")));
}

QIcon TrackHeaderIcon(bool allTicked) {
    return QIcon(OwnIcon(allTicked ? "tracks-all" : "tracks-none"));
}

} // namespace quillon
