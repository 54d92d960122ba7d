#pragma once

#include "cddb/Cddb.h"
#include "net/HttpCli.h"
#include "net/SmtpCli.h"
#include "net/WSocket.h"
#include "platform/MemoryStream.h"

#include <QTimer>

namespace quillon {

// The connections of the CD database client and the buffers of its HTTP requests.
struct TCddb::Transports {
    TWSocket socket;
    THttpCli http;
    TSmtpCli smtp;
    MemoryStream received;
    MemoryStream sent;
    // Ends an exchange that takes longer than TimeoutMs as a whole.
    QTimer deadline;
    enum class Exchange { None, Http, Session, Mail } running = Exchange::None;
};

} // namespace quillon
