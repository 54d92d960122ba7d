#include "app/MessageBox.h"

#include <QMessageBox>

namespace quillon {

namespace {

std::function<void(const MessageRequest&)>& Handler() {
    static std::function<void(const MessageRequest&)> handler;
    return handler;
}

} // namespace

void ShowMessage(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon,
                 const QString& details) {
    const MessageRequest request{parent, text, caption, icon, details};
    if (const auto handler = Handler()) {
        handler(request);
        return;
    }
    QMessageBox box(request.icon == MessageIcon::Error ? QMessageBox::Critical
                                                       : QMessageBox::Information,
                    request.caption, request.text, QMessageBox::Ok, request.parent);
    box.setInformativeText(request.details);
    box.exec();
}

std::function<void(const MessageRequest&)>
SetMessageHandler(std::function<void(const MessageRequest&)> handler) {
    std::swap(Handler(), handler);
    return handler;
}

} // namespace quillon
