#include "fixtures/Fixtures.h"
#include "fixtures/TagAFixtures.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::test {
namespace {

const std::string kBin = QUILLON_BIN_DIR;

// Runs the front end with a private settings folder and returns its exit status, with what it
// printed on both streams in `output`. `prefix` goes before the program (an environment or a
// user change).
int Quillon(const TempDir& dir, const std::string& args, std::string& output,
            const std::string& prefix = "") {
    output = ShellOutput("cd " + Quote(dir.Path().string()) +
                         " && XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " + prefix +
                         Quote(kBin + "/quillon") + " " + args + " 2>&1; echo \"exit=$?\"");
    return std::stoi(output.substr(output.rfind("exit=") + 5));
}

void WriteStereoWav(const std::string& file) {
    WriteFileBytes(file, PcmWavBytes(8000, 16, 2, AsBytes(Tone16(8000, 2, 4000))));
}

// Every mistake in the arguments ends with exit status 2 before anything is done, with a
// message that names what would have been valid.
TEST(CommandLineTest, RefusesBadOptionsAndValuesNamingTheValidOnes) {
    TempDir dir;
    WriteStereoWav(dir.File("in.wav"));
    const struct {
        std::string args;
        std::string message;
    } cases[] = {
        {"-x", "quillon: unknown option '-x' (see 'quillon --help')"},
        {"convert -o", "option '-o' needs a value FILE"},
        {"convert -x in.wav", "unknown option '-x' (see 'quillon convert --help')"},
        {"convert --json in.wav", "unknown option '--json' (see 'quillon convert --help')"},
        {"info --bogus in.wav", "unknown option '--bogus' (see 'quillon info --help')"},
        {"tag -z in.wav", "unknown option '-z' (see 'quillon tag --help')"},
        {"settings --nope list", "unknown option '--nope' (see 'quillon settings --help')"},
        {"info --json=yes in.wav", "option '--json' takes no value"},
        {"convert --set SavePlayList=true in.wav",
         "invalid value 'true' for SavePlayList; valid values: 0 (None), 1 (M3U), 2 (PLS)"},
        {"convert --set=SavePlayList=banana in.wav", "valid values: 0 (None), 1 (M3U), 2 (PLS)"},
        {"convert --set UseVBR=true in.wav", "valid values: 0 (off), 1 (on)"},
        {"convert --set OGGCompressionLevel=5 in.wav", "valid values: an integer from 10 to 100"},
        {"convert --set 'OutputFileNameFormat=<Title>.MP3' in.wav",
         "valid values: <Track Number>, <Title>, <Track Number>-<Title>, <Artist>-<Title>, "
         "<Track Number>-<Artist>-<Title>"},
        {"convert --set RipToFormat in.wav",
         "missing value for RipToFormat (give NAME=VALUE); valid values: MP3, WMA, OGG, WAV, APE, "
         "FLAC"},
        {"convert --set NoSuch=1 in.wav", "unknown setting 'NoSuch'"},
        {"convert --wav-type adpcm in.wav", "valid values: pcm, ima"},
        {"convert --wav-type ima --block-size 510 in.wav",
         "invalid value '510' for --block-size; valid values: multiples of 4 from 8 to 4096"},
        {"convert --wav-type ima --block-size 12 --set RipToFormat=WAV in.wav",
         "in.wav: block size 12 does not suit stereo audio; valid sizes: multiples of 8 from 16 "
         "to 4096"},
        {"convert --block-size 512 in.wav", "--block-size needs --wav-type ima"},
        {"convert --jobs 0 in.wav", "invalid value '0' for --jobs; a number from 1 up"},
        {"convert -o out.wav in.wav in.wav", "--output takes one input file, not 2"},
        {"convert -o out.aac in.wav", "valid endings: .MP3, .WMA, .OGG, .WAV, .APE, .FLAC"},
        {"convert", "no files given"},
        {"tag --track 300 in.wav",
         "invalid value '300' for --track; valid values: 0 to 255, or empty to clear"},
        {"settings set CBRBitrate=320 Mode=Quad",
         "invalid value 'Quad' for Mode; valid values: Stereo, Joint Stereo, Dual Channel, Mono; "
         "nothing stored"},
        {"settings frob", "unknown action 'frob'; valid actions: list, get, set, path"},
        {"settings get NoSuch", "unknown setting 'NoSuch'"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(2, Quillon(dir, c.args, output)) << c.args << "\n" << output;
        EXPECT_NE(std::string::npos, output.find(c.message)) << c.args << "\n" << output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("config"))) << "nothing was stored";
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.wav"))) << "nothing was written";

    for (const std::string args : {"--version", "-V", "info --version", "convert -V"}) {
        std::string output;
        EXPECT_EQ(0, Quillon(dir, args, output)) << args;
        EXPECT_EQ(0u, output.find("quillon " + std::string(QUILLON_VERSION))) << args << output;
    }
}

// Each command words a file it cannot take the same way, names the file and goes on with the
// next, ending with exit status 1.
TEST(CommandLineTest, WordsUnreadableFilesAlikeInEveryCommand) {
    TempDir dir;
    chmod(dir.Path().c_str(), 0755); // the unprivileged user below must reach the files
    WriteStereoWav(dir.File("good.wav"));
    WriteFileBytes(dir.File("good.mp3"), MpegFrames(0xFFFB9000, 417, 3));
    WriteFileBytes(dir.File("notes.txt"), {'h', 'i'});
    std::filesystem::create_directory(dir.File("folder.mp3"));
    for (const char* locked : {"locked.mp3", "locked.ogg"}) {
        WriteFileBytes(dir.File(locked), MpegFrames(0xFFFB9000, 417, 3));
        chmod(dir.File(locked).c_str(), 0);
    }
    // Named pipes would block a read for ever.
    for (const char* pipe : {"pipe.ogg", "pipe.wav", "pipe.ape"}) {
        ASSERT_EQ(0, mkfifo(dir.File(pipe).c_str(), 0644));
    }
    // The superuser reads any file; the permission case runs as an ordinary user then.
    const std::string unprivileged =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";

    const struct {
        std::string file;
        std::string words;
        std::string prefix;
    } files[] = {
        {"missing.mp3", "no such file", ""},
        {"missing.ogg", "no such file", ""},
        {"missing.flac", "no such file", ""},
        {"folder.mp3", "is a folder", ""},
        {"locked.mp3", "permission denied", unprivileged},
        {"locked.ogg", "permission denied", unprivileged},
        {"notes.txt", "not a supported audio file", ""},
        {"pipe.ogg", "not a regular file", ""},
        {"pipe.wav", "not a regular file", ""},
        {"pipe.ape", "not a regular file", ""},
    };
    for (const std::string command : {"info", "tag --artist A", "convert"}) {
        const std::string name = command.substr(0, command.find(' '));
        for (const auto& f : files) {
            std::string output;
            const std::string args = command + " --set RipToFormat=WAV --set ConvFilePath=out ";
            const int status =
                Quillon(dir, (name == "convert" ? args : command + " ") + f.file + " good.wav",
                        output, f.prefix);
            EXPECT_EQ(1, status) << command << " " << f.file << "\n" << output;
            EXPECT_NE(std::string::npos,
                      output.find("quillon " + name + ": " + f.file + ": " + f.words + "\n"))
                << command << " " << f.file << "\n"
                << output;
        }
    }

    // Tagging several files: a line for each, the good ones tagged all the same.
    std::string output;
    EXPECT_EQ(1,
              Quillon(dir, "tag --artist Band good.mp3 good.wav missing.mp3 -- good.mp3", output));
    EXPECT_NE(std::string::npos, output.find("good.mp3: tagged\n")) << output;
    EXPECT_NE(std::string::npos, output.find("quillon tag: good.wav: not a tagged format\n"))
        << output;
    EXPECT_NE(std::string::npos, output.find("quillon tag: missing.mp3: no such file\n")) << output;
    EXPECT_EQ(0, Quillon(dir, "info good.mp3", output));
    EXPECT_NE(std::string::npos, output.find("Artist: Band")) << output;

    // A file that reads but cannot be written.
    chmod(dir.File("good.mp3").c_str(), 0444);
    EXPECT_EQ(1, Quillon(dir, "tag --artist X good.mp3", output, unprivileged));
    EXPECT_NE(std::string::npos, output.find("quillon tag: good.mp3: permission denied\n"))
        << output;
}

// Names and tags reach the terminal with their control bytes escaped, and JSON stays valid
// UTF-8 for a name in another encoding (its stray bytes become U+FFFD).
TEST(CommandLineTest, InfoEscapesWhatATerminalWouldActOn) {
    TempDir dir;
    const std::string name = "caf\xE9\x1B[2J.mp3";
    WriteFileBytes(dir.File(name), Concat({MpegFrames(0xFFFB9000, 417, 20),
                                           Id3v1Record("t\x1B]0;owned\x07!", "a\nb", 0, 0, 0)}));
    std::string output;
    ASSERT_EQ(0, Quillon(dir, "info " + Quote(name), output)) << output;
    EXPECT_EQ(std::string::npos, output.find('\x1B')) << output;
    EXPECT_NE(std::string::npos, output.find("File: caf\\xE9\\x1B[2J.mp3\n")) << output;
    EXPECT_NE(std::string::npos, output.find("Title: t\\x1B]0;owned\\x07!\n")) << output;
    EXPECT_NE(std::string::npos, output.find("Comment: a\\x0Ab\n")) << output;

    ASSERT_EQ(0, Quillon(dir, "info --json " + Quote(name), output)) << output;
    EXPECT_NE(std::string::npos, output.find("{\"File\":\"caf\xEF\xBF\xBD\\u001b[2J.mp3\","))
        << output;
    EXPECT_EQ(std::string::npos, output.find('\xE9')) << output;
}

TEST(CommandLineTest, StoresCheckedSettingsAndListsThemAsJson) {
    TempDir dir;
    std::string output;
    ASSERT_EQ(0, Quillon(dir, "settings set RipToFormat=flac SavePlayList=pls UseVBR=1", output))
        << output;
    for (const auto& [name, stored] : std::vector<std::pair<std::string, std::string>>{
             {"RipToFormat", "FLAC"}, {"SavePlayList", "2"}, {"UseVBR", "1"}}) {
        EXPECT_EQ(0, Quillon(dir, "settings get " + name, output));
        EXPECT_EQ(stored + "\nexit=0\n", output) << name;
    }
    EXPECT_EQ(2, Quillon(dir, "settings set RipToFormat=OGG CBRBitrate=300", output));
    EXPECT_EQ(0, Quillon(dir, "settings get RipToFormat", output));
    EXPECT_EQ("FLAC\nexit=0\n", output) << "a bad set stores nothing";

    EXPECT_EQ(0, Quillon(dir, "settings path", output));
    EXPECT_EQ(dir.File("config/Tovalen/QuillonRip.conf") + "\nexit=0\n", output);

    // The list parses as JSON and holds every setting once, with its value.
    const std::string check = "import json, sys\n"
                              "items = json.load(sys.stdin)\n"
                              "names = [i['name'] for i in items]\n"
                              "assert len(names) == len(set(names)) == 31, names\n"
                              "rip = next(i for i in items if i['name'] == 'RipToFormat')\n"
                              "assert rip['value'] == 'FLAC' and 'OGG' in rip['values'], rip\n"
                              "print('ok')\n";
    WriteFileBytes(dir.File("check.py"), std::vector<uint8_t>(check.begin(), check.end()));
    EXPECT_EQ("ok\n", ShellOutput("XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " +
                                  Quote(kBin + "/quillon") + " settings list --json | " +
                                  "/usr/bin/python3 " + Quote(dir.File("check.py"))));
}

// The manual page renders without warnings, and the completion knows the commands and the
// settings of the program that the build made.
TEST(CommandLineTest, ManualPageAndCompletionAreUsable) {
    const std::string share = kBin + "/../share";
    const std::string page = share + "/man/man1/quillon.1";
    EXPECT_EQ("exit=0\n", ShellOutput("groff -ww -man -Tutf8 " + Quote(page) +
                                      " 2>&1 >/dev/null; echo exit=$?"));

    const std::string completion = share + "/bash-completion/completions/quillon";
    ASSERT_EQ(0, Shell("bash -n " + Quote(completion)));
    const auto complete = [&](const std::string& words, int current) {
        return ShellOutput("bash -c " + Quote("source " + Quote(completion) + "; COMP_WORDS=(" +
                                              words + "); COMP_CWORD=" + std::to_string(current) +
                                              "; _quillon; printf '%s\\n' \"${COMPREPLY[@]}\""));
    };
    EXPECT_EQ("convert\n", complete("quillon con", 1));
    EXPECT_EQ("RipToFormat=\n", complete("quillon convert --set Rip", 3));
    EXPECT_EQ("FLAC\n", complete("quillon convert --set RipToFormat = F", 5));
    EXPECT_EQ("SavePlayList=\n", complete("quillon settings set SaveP", 3));
    EXPECT_EQ("--no-clobber\n", complete("quillon convert --no", 2));
    EXPECT_EQ("rip\n", complete("quillon ri", 1));
    EXPECT_EQ("--tracks\n", complete("quillon rip --tr", 2));
    EXPECT_EQ("RipToFormat=\n", complete("quillon rip --set Rip", 3));
    EXPECT_EQ("--protocol\n", complete("quillon cddb --pro", 2));
    EXPECT_EQ("cddbp\n", complete("quillon rip --cddb --protocol c", 4));

    // Its list of setting names is the program's.
    const std::string names = complete("quillon settings get ''", 3);
    const std::string listed = ShellOutput(
        "XDG_CONFIG_HOME=/nonexistent " + Quote(kBin + "/quillon") +
        " settings list --json | /usr/bin/python3 -c " +
        Quote("import json,sys; print('\\n'.join(i['name'] for i in json.load(sys.stdin)))"));
    EXPECT_EQ(listed, names);
}

} // namespace
} // namespace quillon::test
