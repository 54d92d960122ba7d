#pragma once

#include "cddb/Cddb.h"
#include "net/HttpCli.h"
#include "net/SmtpCli.h"
#include "net/WSocket.h"
#include "platform/MemoryStream.h"

namespace quillon {

// The connections of the CD database client and the buffers of its HTTP requests.
struct TCddb::Transports {
    TWSocket socket;
    THttpCli http;
    TSmtpCli smtp;
    MemoryStream received;
    MemoryStream sent;
};

} // namespace quillon
