// The inbox tests' setting: a Qt event loop, a temporary XDG_DATA_HOME (the database and the
// Trash live there) and a folder of messages made from real WAVE bytes.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <cstdlib>
#include <memory>
#include <string>

#include "tests/test_util.h"
#include "tests/wait_until.h"

class InboxTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testutil::EnsureCoreApplication("inbox_tests"); }
    void SetUp() override {
        ::setenv("XDG_DATA_HOME", data_.path().c_str(), 1);
        std::filesystem::create_directories(Folder());
    }
    std::filesystem::path Folder() const { return data_.path() / "mailbox"; }
    QString FolderName() const { return QString::fromStdString(Folder().string()); }
    std::string Database() const { return (data_.path() / "corvane" / "inbox.sqlite").string(); }
    QString Path(const std::string& name) const {
        return QString::fromStdString((Folder() / name).string());
    }

    // One second of 8 kHz 16-bit mono PCM, plus chunks (id, payload) after the data.
    static testutil::Bytes Message(
        uint32_t dataBytes = 16000,
        std::initializer_list<std::pair<const char*, std::string>> chunks = {}, uint8_t fill = 0) {
        testutil::Bytes b = testutil::Wave({}, testutil::Bytes(dataBytes, fill));
        for (const auto& [id, payload] : chunks) {
            testutil::PutTag(b, id);
            testutil::Put32(b, static_cast<uint32_t>(payload.size()));
            b.insert(b.end(), payload.begin(), payload.end());
            if (payload.size() & 1) b.push_back(0);
        }
        return b;
    }
    void Write(const std::string& name, const testutil::Bytes& bytes) const {
        testutil::WriteFile((Folder() / name).string(), bytes);
    }
    void WriteText(const std::string& name, const std::string& text) const {
        Write(name, testutil::Bytes(text.begin(), text.end()));
    }

  private:
    testutil::TempDir data_;
};
