#include "ServerOptions.h"
#include "TestServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

// A CD database server for tests: HTTP, CDDBP and SMTP on 127.0.0.1, answering from a folder of
// entries, with switches that force replies and hostile modes that test the clients' limits.
// It prints "http=PORT cddbp=PORT smtp=PORT" and serves until its standard input ends.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    quillon::ServerOptions options;
    if (std::string error = quillon::ParseServerOptions(argc, argv, options); !error.empty()) {
        std::fprintf(stderr, "cddb-test-server: %s\n", error.c_str());
        return 2;
    }
    quillon::TestServer server(options);
    if (!server.Listen()) {
        std::fprintf(stderr, "cddb-test-server: cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::printf("%s\n", server.PortLine().c_str());
    std::fflush(stdout);

    QSocketNotifier stdinWatch(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&stdinWatch, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    return app.exec();
}
