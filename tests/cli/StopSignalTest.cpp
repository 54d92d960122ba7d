#include "fixtures/DiscImages.h"
#include "fixtures/Fixtures.h"

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::test {
namespace {

// How a run of the front end on a terminal ended.
struct Outcome {
    int exitStatus = -1; // -1 when it did not exit by itself
    int signalAt = -1;   // the percentage shown when the signal was sent; -1 never sent
    std::string output;
};

// Runs the front end on a pseudo-terminal, so that it draws its progress bar, and sends it
// `signal` as soon as the bar shows `percent` or more.
Outcome RunAndSignal(const std::vector<std::string>& args, const std::string& configHome,
                     int signal, int percent) {
    Outcome outcome;
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        std::vector<char*> argv;
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0) {
        return outcome;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    size_t scanned = 0;
    for (;;) {
        pollfd fd{master, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            break;
        }
        if (poll(&fd, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) {
            break; // the program has ended and closed the terminal
        }
        outcome.output.append(buffer, static_cast<size_t>(n));
        // The bar reads "[####......] 42% name".
        for (size_t at; outcome.signalAt < 0 &&
                        (at = outcome.output.find("% ", scanned)) != std::string::npos;) {
            size_t digits = at;
            while (digits > 0 &&
                   std::isdigit(static_cast<unsigned char>(outcome.output[digits - 1]))) {
                --digits;
            }
            scanned = at + 2;
            if (digits < at && std::stoi(outcome.output.substr(digits, at - digits)) >= percent) {
                outcome.signalAt = std::stoi(outcome.output.substr(digits, at - digits));
                kill(pid, signal);
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    if (WIFEXITED(status)) {
        outcome.exitStatus = WEXITSTATUS(status);
    }
    return outcome;
}

// SIGINT, SIGTERM and SIGHUP early, halfway and late in a conversion to each output format:
// the program stops, discards the unfinished file (an older file of its name stays as it
// was), leaves no temporary file and exits with 128 + the signal's number.
TEST(StopSignalTest, SignalsStopTheConversionAndLeaveNoPartialFile) {
    TempDir dir;
    const std::string quillon = std::string(QUILLON_BIN_DIR) + "/quillon";
    const std::string config = dir.File("config");
    const std::string out = dir.File("out");
    const auto settings = [&](const std::string& format) {
        return std::vector<std::string>{"--set", "RipToFormat=" + format,
                                        "--set", "ConvFilePath=" + out,
                                        "--set", "OutputFileNameFormat=<Track Number>"};
    };
    const auto tone = [&](const std::string& name, int seconds) {
        const std::string file = dir.File(name);
        WriteFileBytes(file,
                       PcmWavBytes(44100, 16, 2, AsBytes(Tone16(44100, 2, 44100LL * seconds))));
        return file;
    };
    // Inputs that give each output format about a second of work. Copying PCM is so quick
    // that the WAV output reads an Ogg Vorbis file, made here, to have audio to decode.
    const std::string forOgg = tone("ogg.wav", 120);
    ASSERT_EQ(0, Shell("XDG_CONFIG_HOME=" + Quote(config) + " " + Quote(quillon) + " convert " +
                       Quote(forOgg) + " --set RipToFormat=OGG --set " +
                       Quote("ConvFilePath=" + dir.Path().string()) +
                       " --set 'OutputFileNameFormat=<Track Number>' 2>/dev/null"));
    std::filesystem::remove(forOgg);
    struct Format {
        const char* name;
        std::string input;
    };
    const std::vector<Format> formats = {{"WAV", dir.File("01.OGG")},
                                         {"MP3", tone("mp3.wav", 30)},
                                         {"OGG", tone("ogg.wav", 40)},
                                         {"FLAC", tone("flac.wav", 240)}};
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    const int positions[] = {10, 50, 90};
    int round = 0;
    for (size_t f = 0; f < formats.size(); ++f) {
        const Format& format = formats[f];
        for (size_t s = 0; s < 3; ++s) {
            // Every format sees every position, and every signal meets every position.
            const int signal = signals[s];
            const int at = positions[(f + s) % 3];
            const bool older = ++round % 2 == 0;
            SCOPED_TRACE(std::string(format.name) + " " + strsignal(signal) + " at " +
                         std::to_string(at) + "%" + (older ? ", older file" : ""));
            std::filesystem::remove_all(out);
            std::filesystem::create_directories(out);
            const std::string target = out + "/01." + format.name;
            if (older) {
                WriteFileBytes(target, {'o', 'l', 'd'});
            }
            std::vector<std::string> args = {quillon, "convert", format.input};
            for (const auto& arg : settings(format.name)) {
                args.push_back(arg);
            }
            const Outcome run = RunAndSignal(args, config, signal, at);
            ASSERT_GE(run.signalAt, at) << "the conversion ended before the signal\n" << run.output;
            EXPECT_LT(run.signalAt, 100) << run.output;
            EXPECT_EQ(128 + signal, run.exitStatus) << run.output;
            std::vector<std::string> left;
            for (const auto& entry : std::filesystem::directory_iterator(out)) {
                left.push_back(entry.path().filename().string());
            }
            EXPECT_EQ(older ? std::vector<std::string>{"01." + std::string(format.name)}
                            : std::vector<std::string>{},
                      left);
            if (older) {
                EXPECT_EQ((std::vector<uint8_t>{'o', 'l', 'd'}), ReadFileBytes(target));
            }
        }
    }
}

// An interrupt during a rip ends it the same way: the track under way leaves no file (an older
// file of its name stays), later tracks are not started, and the playlist, of the tracks
// finished before, is still written.
TEST(StopSignalTest, AnInterruptStopsTheRipAndKeepsThePlaylist) {
    TempDir dir;
    const auto image = WriteDiscImage(dir.Path().string(), "disc", {{75 * 200}, {75}});
    const std::string out = dir.File("out");
    std::filesystem::create_directories(out);
    WriteFileBytes(out + "/01.FLAC", {'o', 'l', 'd'});
    const Outcome run =
        RunAndSignal({std::string(QUILLON_BIN_DIR) + "/quillon", "rip", "--drive", image.sheet,
                      "--set", "RipToFormat=FLAC", "--set", "FilePath=" + out, "--set",
                      "OutputFileNameFormat=<Track Number>", "--set", "SavePlayList=M3U"},
                     dir.File("config"), SIGINT, 10);
    ASSERT_GE(run.signalAt, 10) << "the rip ended before the signal\n" << run.output;
    EXPECT_LT(run.signalAt, 100) << run.output;
    EXPECT_EQ(128 + SIGINT, run.exitStatus) << run.output;
    std::vector<std::string> left;
    std::string playlist;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        left.push_back(entry.path().filename().string());
        if (entry.path().extension() == ".m3u") {
            const auto bytes = ReadFileBytes(entry.path().string());
            playlist.assign(bytes.begin(), bytes.end());
        }
    }
    ASSERT_EQ(2u, left.size()) << "the older file and the playlist";
    EXPECT_EQ((std::vector<uint8_t>{'o', 'l', 'd'}), ReadFileBytes(out + "/01.FLAC"));
    EXPECT_EQ("#EXTM3U\r\n", playlist);
}

} // namespace
} // namespace quillon::test
