// Path traversal in every form against every request that takes a library
// path: browse, download, stream and the five play-list commands. Nothing
// outside the shared folder may be listed, served, expanded or enqueued.
#include "tests/attack/AttackFixture.h"

#include "library/LibraryText.h"

#include <filesystem>
#include <vector>

namespace lyrebox::attack {
namespace {

struct Form {
    const char* what;
    std::string encoded;  // the parameter value as it goes on the wire
    // Decodes to an ordinary (missing) name inside the share rather than to a
    // way out: the commands may accept it, but nothing is enqueued.
    bool nameInsideShare = false;
};

class TraversalTest : public AttackTest {
protected:
    TraversalTest() {
        // A link inside the share to the folder beside it: reachable as the
        // file system resolves it, but ".." after it must not climb out.
        std::filesystem::create_directory_symlink(tree.file("outside"), music + "/link");
    }

    std::vector<Form> forms() const {
        const std::string enc = percentEncode(music);
        const std::string outside = tree.file("outside/secret.mp3");
        auto plain = [](const char* what, const std::string& path) { return Form{what, percentEncode(path)}; };
        return {
            plain("dot-dot file", music + "/../outside/secret.mp3"),
            plain("dot-dot folder", music + "/../outside"),
            plain("dot-dot to the parent", music + "/.."),
            plain("dot-dot with trailing slash", music + "/../outside/"),
            plain("deep dot-dot", music + "/sub/../../outside/secret.mp3"),
            plain("dot then dot-dot", music + "/./../outside/secret.mp3"),
            plain("double slash", music + "//../outside/secret.mp3"),
            plain("trailing slash on file", music + "/../secret.mp3/"),
            plain("leading double slash", "/" + music + "/../secret.mp3"),
            plain("absolute outside", outside),
            plain("absolute outside folder", tree.file("outside") + "/"),
            plain("sibling with shared prefix", tree.file("musical/secret.mp3")),
            plain("sibling folder with shared prefix", tree.file("musical")),
            plain("relative", "../secret.mp3"),
            plain("parent of the share", tree.path()),
            plain("through the link and up", music + "/link/../secret.mp3"),
            plain("through the link and up twice", music + "/link/../../secret.mp3"),
            plain("NUL then dot-dot", music + std::string("/a.mp3\0/../../secret.mp3", 25)),
            plain("NUL after the share", music + std::string("\0", 1) + "/../secret.mp3"),
            {"dot-dot sent encoded (arrives decoded)", enc + "/%2e%2e/secret.mp3"},
            {"upper-case encoded dot-dot", enc + "/%2E%2E/secret.mp3"},
            {"half-encoded dot-dot", enc + "/.%2e/secret.mp3"},
            {"encoded slashes", enc + "%2f%2e%2e%2fsecret.mp3"},
            {"double-encoded dot-dot", enc + "/%252e%252e/secret.mp3", true},
            {"double-encoded slashes", enc + "%252f..%252fsecret.mp3", true},
            {"raw NUL", enc + "/a.mp3%00/../../secret.mp3"},
            {"backslashes", enc + "\\..\\secret.mp3", true},
            {"plus and blanks", enc + "/+..+/secret.mp3", true},
        };
    }

    // The list line of the two play-list commands for a path value.
    static std::string listLine(const std::string& encodedPath) { return "t%09" + encodedPath + "%0a"; }

    void expectNothingLeaked(const libtest::Response& response, const char* name) {
        EXPECT_EQ(response.body.find(kSecret), std::string::npos) << name;
        EXPECT_EQ(response.body.find("secret"), std::string::npos) << name;
        EXPECT_EQ(response.body.find("musical"), std::string::npos) << name;
        EXPECT_EQ(response.body.find("outside"), std::string::npos) << name;
    }
};

TEST_F(TraversalTest, TheSharedFilesThemselvesAreReachable) {
    EXPECT_EQ(server.get("download", music + "/a.mp3", "").status, 200);
    EXPECT_NE(server.get("library.js", music, "").body.find("a%2emp3"), std::string::npos);
    EXPECT_EQ(server.get("stream", music + "/sub", "").status, 200);
    EXPECT_EQ(server.get("/enqueuefile?title=t&filename=" + percentEncode(music + "/a.mp3")).body, "1");
    EXPECT_EQ(server.entries().size(), 1u);
}

TEST_F(TraversalTest, NoFormReachesAnythingOutsideTheShare) {
    for (const auto& form : forms()) {
        SCOPED_TRACE(form.what);
        const auto browse = server.get("/library.js?path=" + form.encoded);
        EXPECT_EQ(browse.status, 200);
        // The listing may echo the asked path, but lists nothing from outside.
        for (const char* name : {"secret%2emp3", "outside", "musical"}) {
            EXPECT_EQ(browse.body.find(std::string("\"name\" : \"") + name), std::string::npos) << browse.body;
        }
        EXPECT_EQ(browse.body.find(percentEncode(tree.file("outside"))), std::string::npos) << browse.body;

        const auto download = server.get("/download?path=" + form.encoded);
        EXPECT_EQ(download.status, 404);
        expectNothingLeaked(download, "download");

        const auto stream = server.get("/stream?path=" + form.encoded);
        EXPECT_EQ(stream.status, 404);
        expectNothingLeaked(stream, "stream");

        for (const char* command : {"enqueuefile", "insertfile", "playfile"}) {
            const auto answer =
                server.get(std::string("/") + command + "?title=t&index=0&filename=" + form.encoded);
            if (!form.nameInsideShare) {
                EXPECT_EQ(answer.body, "0") << command;
            }
        }
        for (const char* command : {"enqueueplaylist", "playplaylist"}) {
            server.get(std::string("/") + command + "?playlist=" + listLine(form.encoded));
        }
        EXPECT_TRUE(server.entries().empty()) << server.entries().front().fileName;
    }
}

TEST_F(TraversalTest, OneBadLineOfAListDoesNotLetTheOthersOut) {
    const std::string list = listLine(percentEncode(music + "/a.mp3")) +
                             listLine(percentEncode(music + "/../secret.mp3")) +
                             listLine(percentEncode(music) + "/%2e%2e/outside/secret.mp3") +
                             listLine(percentEncode(tree.file("musical/secret.mp3")));
    EXPECT_EQ(server.get("/enqueueplaylist?playlist=" + list).body, "1");
    const auto entries = server.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].fileName, music + "/a.mp3");
}

TEST_F(TraversalTest, ExpandingTheShareEnqueuesOnlyItsOwnFiles) {
    // The link is followed as the file system resolves it (the user put it
    // there); everything enqueued lies in the share or under the link.
    EXPECT_EQ(server.get("/enqueuefile?title=t&filename=" + percentEncode(music)).body, "1");
    for (const auto& entry : server.entries()) {
        EXPECT_EQ(entry.fileName.rfind(music + "/", 0), 0u) << entry.fileName;
        EXPECT_EQ(entry.fileName.find("/.."), std::string::npos) << entry.fileName;
    }
}

}  // namespace
}  // namespace lyrebox::attack
