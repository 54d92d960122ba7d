#include "cli/DiscLookup.h"

#include "cd/CDIn.h"
#include "cli/DriveChoice.h"
#include "cli/JsonText.h"
#include "workflow/CddbLookup.h"

#include <QEventLoop>
#include <QTimer>
#include <iostream>

namespace quillon::cli {

namespace {

constexpr int kStopPollMs = 50;

} // namespace

void CddbServerChoice::AddOptions(OptionParser& parser) {
    parser
        .Value("server", 's', "HOST[:PORT]",
               "the CD database server; default the setting FreeDBServer",
               [this](const std::string& value) {
                   std::string problem;
                   server_ = CheckServerAddress(value, problem).value_or("");
                   return problem;
               })
        .Value("protocol", 'p', "PROTO",
               "http (port 80 unless given) or cddbp (port 8880 unless\ngiven); default http",
               [this](const std::string& value) -> std::string {
                   if (value == "http" || value == "cddbp") {
                       type_ = value == "http" ? TServerType::HTTP : TServerType::CDDBP;
                       return {};
                   }
                   return "invalid value '" + value + "' for --protocol; valid values: http, cddbp";
               });
}

std::string CddbServerChoice::Server(const Settings& settings) const {
    return server_.empty() ? settings.ListText("FreeDBServer") : server_;
}

std::optional<int> ReadDiscIdentifier(const std::string& command, TCDIn& cdIn, TCddb& cddb) {
    std::string status;
    cddb.OnStatusMessage = [&](TCddb&, const std::string& text) { status = text; };
    const bool read = cddb.ReadDiscId(static_cast<uint8_t>(cdIn.CurrentDrive()));
    cddb.OnStatusMessage = nullptr;
    if (!read || cddb.Info().Toc.NumTracks == 0) {
        std::cerr << "quillon " << command << ": cannot identify the disc in " << DriveText(cdIn)
                  << (status.empty() ? "" : ": " + status) << "\n";
        return 1;
    }
    return std::nullopt;
}

std::optional<int> LookUpDisc(const std::string& command, TCddb& cddb,
                              const CddbServerChoice& server, const Settings& settings,
                              Verbosity verbosity, DiscLookupResult& result,
                              const std::function<int()>& stopSignal) {
    const std::string address = server.Server(settings);
    if (address.empty()) {
        std::cerr << "quillon " << command << ": no CD database server; the setting FreeDBServer '"
                  << TerminalText(settings.Raw("FreeDBServer"))
                  << "' is not valid (give one with --server)\n";
        return 1;
    }

    TCddbLookup lookup(cddb);
    QEventLoop loop;
    std::string failure;
    bool done = false;
    int signal = 0;
    if (verbosity == Verbosity::Verbose) {
        lookup.OnStatus = [](const std::string& status) {
            std::cerr << TerminalText(status) << "\n";
        };
        // Requests carry their line end.
        lookup.OnData = [](const std::string& line) {
            const bool ended = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0;
            std::cerr << "  " << TerminalText(ended ? line.substr(0, line.size() - 2) : line)
                      << "\n";
        };
    }
    lookup.OnDone = [&](const TCDInfo& info) {
        result.info = info;
        done = true;
        loop.quit();
    };
    lookup.OnFailed = [&](const std::string& message) {
        failure = message;
        loop.quit();
    };
    QTimer stopPoll;
    if (stopSignal) {
        QObject::connect(&stopPoll, &QTimer::timeout, [&] {
            if ((signal = stopSignal()) != 0) {
                lookup.Abort();
                loop.quit();
            }
        });
        stopPoll.start(kStopPollMs);
    }
    lookup.Start(address, server.Type(), settings.Text("CDDBUserEmail"));
    loop.exec();
    result.log = lookup.Log();
    if (signal != 0) {
        std::cerr << "quillon " << command << ": stopped\n";
        return signal;
    }
    if (!done) {
        std::cerr << "quillon " << command << ": " << TerminalText(failure) << " (disc "
                  << cddb.Info().DiscId << " on " << TerminalText(address) << ")\n";
        return 1;
    }
    return std::nullopt;
}

} // namespace quillon::cli
