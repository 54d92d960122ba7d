#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace quillon {

enum class MessageIcon { Information, Error };

// A message the windows show to the user.
struct MessageRequest {
    QWidget* parent = nullptr;
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::Information;
    QString details; // why, for the curious; may be empty
};

// Shows a message box and waits until the user has closed it, or hands the message to the
// handler that a test installed.
void ShowMessage(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon,
                 const QString& details = {});

// Replaces how messages are shown (tests record them instead of waiting for a click); an empty
// handler restores the message box. Returns the handler it replaced.
std::function<void(const MessageRequest&)>
SetMessageHandler(std::function<void(const MessageRequest&)> handler);

} // namespace quillon
