// The tag editor against files that other programs made and tagged: what it shows, what it
// writes back, and when it keeps its hands off.
#include "app/TagEditorFrm.h"

#include "app/WindowTestSupport.h"
#include "codecs/MACOut.h"
#include "fixtures/CodecFixtures.h"
#include "fixtures/Fixtures.h"
#include "fixtures/TagBPeers.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::test {
namespace {

// The seven fields that every format of the editor carries, in the order of their boxes.
using Tags = std::vector<std::string>;
const char* const kBoxes[] = {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "ComboBox5", "Edit7"};

// Runs a mutagen script that sees the file as f, its extension as ext, the seven fields' names
// in that format as names and the given tags as tags.
std::string Mutagen(const std::string& file, const Tags& tags, const std::string& script) {
    QJsonArray values;
    for (const std::string& tag : tags) {
        values.append(QString::fromStdString(tag));
    }
    const QJsonArray input{QString::fromStdString(file), values};
    const QByteArray json = QJsonDocument(input).toJson(QJsonDocument::Compact).toBase64();
    return Python("import base64, json\nf, tags = json.loads(base64.b64decode('" +
                  json.toStdString() + "'))" + R"(
from mutagen.id3 import ID3, Frames
from mutagen.oggvorbis import OggVorbis
from mutagen.apev2 import APEv2
ext = f.lower().rsplit('.', 1)[1]
names = {'mp3': ['TIT2', 'TPE1', 'TALB', 'TRCK', 'TYER', 'TCON', 'COMM'],
         'ogg': ['title', 'artist', 'album', 'tracknumber', 'date', 'genre', 'comment'],
         'ape': ['Title', 'Artist', 'Album', 'Track', 'Year', 'Genre', 'Comment']}[ext]
)" + script);
}

// Tags a file with mutagen, as the format of its extension (any letter case) wants them.
void PeerWrite(const std::string& file, const Tags& tags) {
    Mutagen(file, tags, R"(
if ext == 'mp3':
    t = ID3()
    for name, text in zip(names, tags):
        extra = {'lang': 'eng', 'desc': ''} if name == 'COMM' else {}
        t.add(Frames[name](encoding=1, text=text, **extra))
    t.save(f, v2_version=3)
else:
    t = OggVorbis(f) if ext == 'ogg' else APEv2()
    for name, text in zip(names, tags):
        t[name] = text
    t.save() if ext == 'ogg' else t.save(f)
)");
}

// The tags as mutagen reads them back (an absent field is empty).
Tags PeerRead(const std::string& file) {
    const std::string json = Mutagen(file, {}, R"(
t = ID3(f) if ext == 'mp3' else OggVorbis(f).tags if ext == 'ogg' else APEv2(f)
def get(name):
    if ext != 'mp3':
        return str(t[name][0]) if name in t else ''
    if name == 'TCON':
        return t['TCON'].genres[0] if 'TCON' in t and t['TCON'].genres else ''
    # mutagen shows an ID3v2.3 year as the ID3v2.4 frame
    frames = [x for x in t.getall('TDRC' if name == 'TYER' else name) if getattr(x, 'desc', '') == '']
    return str(frames[0].text[0]) if frames else ''
print(json.dumps([get(name) for name in names]))
)");
    Tags tags;
    for (const QJsonValue value :
         QJsonDocument::fromJson(QByteArray::fromStdString(json)).array()) {
        tags.push_back(value.toString().toStdString());
    }
    return tags;
}

// An untagged file of the extension's format (any letter case) and the length in seconds.
void MakeAudio(const std::string& file, int seconds) {
    const std::string ext = std::filesystem::path(file).extension().string();
    if (ext == ".ape" || ext == ".APE") {
        TMACOut sink;
        sink.SetFileName(file);
        PcmMemorySource input(44100, 16, 2, TonePcm(44100, 16, 2, 44100LL * seconds));
        ASSERT_TRUE(RunToEnd(sink, input).done);
        return;
    }
    const std::string codec = ext == ".ogg" ? "libvorbis" : "libmp3lame -b:a 8k";
    ASSERT_EQ(Shell("ffmpeg -v error -y -f lavfi -i anullsrc=r=8000:cl=mono -t " +
                    std::to_string(seconds) + " -c:a " + codec + " -map_metadata -1 " +
                    Quote(file)),
              0);
}

template <typename T> T& Child(TTagEditorFrm& window, const char* name) {
    T* child = window.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return *child;
}

std::vector<std::string> Shown(TTagEditorFrm& window) {
    std::vector<std::string> texts;
    for (const char* name : kBoxes) {
        const QString text = std::string(name) == "ComboBox5"
                                 ? Child<QComboBox>(window, name).currentText()
                                 : Child<QLineEdit>(window, name).text();
        texts.push_back(text.toStdString());
    }
    return texts;
}

void Type(TTagEditorFrm& window, const Tags& tags) {
    for (size_t i = 0; i < tags.size(); ++i) {
        const QString text = QString::fromStdString(tags[i]);
        if (std::string(kBoxes[i]) == "ComboBox5") {
            Child<QComboBox>(window, kBoxes[i]).setEditText(text);
        } else {
            Child<QLineEdit>(window, kBoxes[i]).setText(text);
        }
    }
}

TEST(TagEditorFrmTest, ShowsThePeersTagsAndWritesTheEditsBack) {
    const Tags peer{"Peer Title", "Peer Artist", "Peer Album", "3", "1987", "Blues", "Peer note"};
    const Tags edited{"Grüße", "Ünïcode Artist", "Новый альбом", "12", "2024", "Hip-Hop", "edited"};
    const struct {
        const char* name;
        int seconds;
        const char* duration;
        bool readOnly;
    } cases[] = {
        // The file-info summary of a Monkey's Audio file holds its tag, not its stream facts.
        {"song.mp3", 205, "0:03:25", false}, {"song.ogg", 3, "0:00:03", false},
        {"song.ape", 1, "0:00:00", false},   {"LOUD.APE", 1, "0:00:00", false},
        {"locked.mp3", 1, "0:00:01", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.readOnly && ::geteuid() == 0) {
            continue; // the superuser may write read-only files
        }
        TempDir dir;
        const std::string file = dir.File(c.name);
        MakeAudio(file, c.seconds);
        PeerWrite(file, peer);
        if (c.readOnly) {
            ::chmod(file.c_str(), 0444);
        }
        const std::vector<uint8_t> before = ReadFileBytes(file);

        TTagEditorFrm window;
        MessageLog messages;
        window.SelectFile(QString::fromStdString(file));
        EXPECT_EQ(window.CurrentPath().toStdString(), file);
        EXPECT_EQ(Shown(window), peer);
        EXPECT_EQ(Child<QLineEdit>(window, "Edit13").text().toStdString(), file);
        EXPECT_EQ(Child<QLineEdit>(window, "DurationValue").text().toStdString(), c.duration);
        EXPECT_FALSE(window.SaveEnabled());

        Type(window, edited);
        EXPECT_TRUE(window.SaveEnabled());
        window.Save();
        EXPECT_FALSE(window.SaveEnabled());
        if (c.readOnly) {
            ASSERT_EQ(messages.Shown().size(), 1);
            EXPECT_EQ(ReadFileBytes(file), before);
            EXPECT_EQ(Shown(window), edited) << "the typed texts stay for another try";
        } else {
            EXPECT_TRUE(messages.Shown().isEmpty()) << messages.Shown().join('\n').toStdString();
            EXPECT_EQ(PeerRead(file), edited);
            window.Cancel();
            EXPECT_EQ(Shown(window), edited) << "read back from the file";
        }
    }
}

TEST(TagEditorFrmTest, MatchesTheGenreInAnyLetterCaseOrLeavesItEmpty) {
    const struct {
        const char* stored;
        const char* shown;
    } cases[] = {{"Hip-Hop", "Hip-Hop"}, {"hip-hop", "Hip-Hop"}, {"Indie Rock", ""}};
    TempDir dir;
    const std::string file = dir.File("genre.mp3");
    MakeAudio(file, 1);
    TTagEditorFrm window;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        PeerWrite(file, {"T", "A", "B", "1", "2000", c.stored, "C"});
        window.SelectFile(QString::fromStdString(file));
        auto& genre = Child<QComboBox>(window, "ComboBox5");
        EXPECT_EQ(genre.currentText().toStdString(), c.shown);
        EXPECT_EQ(genre.currentIndex() >= 0, *c.shown != 0);
        Child<QLineEdit>(window, "Edit1").setText("Saved");
        window.Save();
        EXPECT_EQ(PeerRead(file)[5], c.shown);
    }
}

TEST(TagEditorFrmTest, ListsTheFoldersAudioFilesAndForgetsEditsWhenAsked) {
    TempDir dir;
    TempDir other;
    const struct {
        const char* name;
        bool listed;
    } files[] = {
        {"a.mp3", true},   {"B.MP3", true},  {"c.Ogg", true},      {"d.ApE", true},
        {"e.flac", false}, {"f.wav", false}, {"g.mp3.txt", false}, {"notes", false},
    };
    QStringList expected;
    for (const auto& f : files) {
        WriteFileBytes(dir.File(f.name), {1, 2, 3});
        if (f.listed) {
            expected << f.name;
        }
    }
    std::filesystem::create_directory(dir.File("h.mp3"));
    const std::string song = dir.File("a.mp3");
    MakeAudio(song, 1);
    PeerWrite(song, {"One", "Two", "Three", "4", "2005", "Rock", "Five"});

    TTagEditorFrm window;
    window.SetFolder(QString::fromStdString(dir.Path().string()));
    auto& list = Child<QListWidget>(window, "FileListBox1");
    QStringList listed;
    for (int row = 0; row < list.count(); ++row) {
        listed << list.item(row)->text();
    }
    EXPECT_EQ(listed, expected);

    window.SelectFile(QString::fromStdString(song));
    auto& title = Child<QLineEdit>(window, "Edit1");
    auto& lyrics = Child<QPlainTextEdit>(window, "Memo1");
    title.setText("Changed");
    lyrics.setPlainText("la la la");
    EXPECT_TRUE(window.SaveEnabled());
    window.Cancel();
    EXPECT_EQ(title.text(), "One");
    EXPECT_EQ(lyrics.toPlainText(), "");
    EXPECT_FALSE(window.SaveEnabled());

    const std::vector<uint8_t> before = ReadFileBytes(song);
    title.setText("Changed");
    lyrics.setPlainText("la la la");
    window.SetFolder(QString::fromStdString(other.Path().string()));
    EXPECT_EQ(window.CurrentPath(), "");
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(Shown(window), std::vector<std::string>(7));
    EXPECT_EQ(lyrics.toPlainText(), "");
    EXPECT_EQ(Child<QLineEdit>(window, "Edit13").text(), "");
    EXPECT_EQ(Child<QLineEdit>(window, "FileSizeValue").text(), "");
    title.setText("Typed with no file");
    EXPECT_FALSE(window.SaveEnabled());
    window.Save();
    EXPECT_EQ(ReadFileBytes(song), before);
}

} // namespace
} // namespace quillon::test
