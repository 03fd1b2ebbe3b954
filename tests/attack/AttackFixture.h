// The attack suite's server: the whole router and HTTP server on a loopback
// port with a recording player (tests/library/LibraryServer.h), one shared
// folder "music" and, beside it, folders and files that no request may reach.
#pragma once

#include "tests/library/LibraryServer.h"
#include "tests/support/TempDir.h"

#include "platform/Module.h"

#include <libxml/parser.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace lyrebox::attack {

// Marker written into every file outside the share; no answer may carry it.
inline const std::string kSecret = "SECRET-BYTES-OUTSIDE-THE-SHARE";

// True when libxml2 parses the document without error (no network, no entities).
inline bool isWellFormedXml(const std::string& document) {
    xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "answer.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr) return false;
    xmlFreeDoc(doc);
    return true;
}

class AttackTest : public ::testing::Test {
protected:
    // The test executable links the web assets, so the router serves them.
    AttackTest() : server(tree.file("test.ini"), platform::moduleHandle(reinterpret_cast<const void*>(&kSecret))) {
        music = tree.folder("music");
        tree.writePattern("music/a.mp3", 100);
        tree.writePattern("music/sub/b.mp3", 100);
        secretFile("outside/secret.mp3");
        secretFile("musical/secret.mp3");
        secretFile("secret.mp3");
        server.share({music});
    }

    void secretFile(const std::string& relative) {
        tree.write(relative);
        std::ofstream(tree.file(relative), std::ios::binary) << kSecret;
    }

    test::TempDir tree;
    libtest::LibraryServer server;
    std::string music;
};

}  // namespace lyrebox::attack
