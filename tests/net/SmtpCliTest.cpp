#include "net/SmtpCli.h"

#include "NetTestSupport.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::RunUntil;
using test::ScriptedServer;

// Answers each SMTP command line; inside DATA it waits for the "." line.
void ServeSmtp(ScriptedServer& server, const std::string& rcptReply) {
    server.Greeting = {"220-test sink\r\n", "220 ready\r\n"};
    auto handled = std::make_shared<size_t>(0);
    auto inData = std::make_shared<bool>(false);
    server.OnData = [=](ScriptedServer::Connection& connection) {
        size_t end;
        while ((end = connection.received.find("\r\n", *handled)) != std::string::npos) {
            const std::string line = connection.received.substr(*handled, end - *handled);
            *handled = end + 2;
            std::string reply;
            if (*inData) {
                if (line != ".")
                    continue;
                *inData = false;
                reply = "250 queued";
            } else if (line.rfind("RCPT", 0) == 0) {
                reply = rcptReply;
            } else if (line == "DATA") {
                reply = "354 go ahead";
                *inData = true;
            } else if (line == "QUIT") {
                reply = "221 bye";
            } else {
                reply = "250 ok";
            }
            connection.Send({reply + "\r\n"}, line == "QUIT");
        }
    };
}

TEST(SmtpCli, MailConversation) {
    struct Case {
        const char* name;
        std::string rcptReply;
        int mailError;
        std::string errorMessage;
    } cases[] = {
        {"accepted", "250 ok", 0, ""},
        {"recipient refused", "550 no such user", 550, "550 no such user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        ServeSmtp(server, c.rcptReply);

        TSmtpCli smtp;
        smtp.Host = "127.0.0.1:" + std::to_string(server.Port());
        smtp.SignOn = "client.example";
        smtp.FromName = "me@example.org";
        smtp.RcptName = {"test@cddb.example", "copy@cddb.example"};
        smtp.HdrFrom = "me@example.org";
        smtp.HdrTo = "test@cddb.example";
        smtp.HdrSubject = "cddb rock 06000502";
        smtp.MailMessage = {"# xmcd", ".starts with a dot", "DTITLE=A / B"};
        smtp.OnHeaderLine = [](TSmtpCli&, std::string& line) {
            if (line.rfind("From:", 0) == 0)
                line += "\r\nX-Cddbd-Note: a note";
        };
        std::vector<std::pair<TSmtpRequest, int>> done;
        std::vector<std::string> display;
        smtp.OnDisplay = [&](TSmtpCli&, const std::string& line) { display.push_back(line); };
        // Each step starts the next, as the database client does.
        smtp.OnRequestDone = [&](TSmtpCli& sender, TSmtpRequest request, int error) {
            done.emplace_back(request, error);
            if (error != 0)
                return;
            if (request == TSmtpRequest::smtpConnect)
                sender.Helo();
            else if (request == TSmtpRequest::smtpHelo)
                sender.Mail();
            else if (request == TSmtpRequest::smtpMail)
                sender.Quit();
        };
        smtp.Connect();
        EXPECT_TRUE(done.empty()) << "a step ended inside Connect";
        ASSERT_TRUE(RunUntil(
            [&] { return (!done.empty() && done.back().second != 0) || done.size() == 4; }));
        const std::vector<std::pair<TSmtpRequest, int>> expected =
            c.mailError == 0
                ? std::vector<std::pair<TSmtpRequest, int>>{{TSmtpRequest::smtpConnect, 0},
                                                            {TSmtpRequest::smtpHelo, 0},
                                                            {TSmtpRequest::smtpMail, 0},
                                                            {TSmtpRequest::smtpQuit, 0}}
                : std::vector<std::pair<TSmtpRequest, int>>{{TSmtpRequest::smtpConnect, 0},
                                                            {TSmtpRequest::smtpHelo, 0},
                                                            {TSmtpRequest::smtpMail, c.mailError}};
        EXPECT_EQ(done, expected);
        EXPECT_EQ(smtp.ErrorMessage(), c.errorMessage);
        EXPECT_EQ(display.front(), "< 220-test sink");
        if (c.mailError != 0)
            continue;
        const std::string sent = server.Received();
        size_t at = 0;
        for (const std::string part :
             {"HELO client.example\r\n", "MAIL FROM:<me@example.org>\r\n",
              "RCPT TO:<test@cddb.example>\r\n", "RCPT TO:<copy@cddb.example>\r\n", "DATA\r\n",
              "From: me@example.org\r\nX-Cddbd-Note: a note\r\nTo: test@cddb.example\r\n",
              "Subject: cddb rock 06000502\r\nDate: ",
              "\r\n\r\n# xmcd\r\n..starts with a dot\r\nDTITLE=A / B\r\n.\r\n", "QUIT\r\n"}) {
            at = sent.find(part, at);
            ASSERT_NE(at, std::string::npos) << part << " missing in order in\n" << sent;
        }
    }
}

} // namespace
} // namespace quillon
