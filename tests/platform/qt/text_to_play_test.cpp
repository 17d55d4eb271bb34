#include "platform/qt/text_to_play.h"

#include <gtest/gtest.h>

namespace {

TEST(TextToPlay, SplitsTheDisplayNameTag) {
    struct Case {
        QString text, path, name;
    } cases[] = {
        {"/m/a.wav<cvnm:Call from Ann>", "/m/a.wav", "Call from Ann"},
        {"/m/a.wav", "/m/a.wav", ""},
        {"/m/a b.wav <cvnm:X>", "/m/a b.wav ", "X"},       // the blank stays in the path
        {"/m/a.wav<cvnm:Ann", "/m/a.wav<cvnm:Ann", ""},    // no closing '>'
        {"/m/a.wav<cvnm:Ann>rest", "/m/a.wav", "Ann"},     // after '>' is ignored
        {"/m/x>y.wav<cvnm:Ann>", "/m/x>y.wav", ""},        // the first '>' comes first
        {"/m/a.wav<CVNM:Ann>", "/m/a.wav<CVNM:Ann>", ""},  // letter case matters
        {"/m/a.wav<cvnm:>", "/m/a.wav", ""},
        {"\"/m/q.wav\"", "\"/m/q.wav\"", ""},  // quotation marks stay
    };
    for (const Case& c : cases) {
        QString path, name;
        SplitDisplayTag(c.text, &path, &name);
        EXPECT_EQ(path.toStdString(), c.path.toStdString()) << c.text.toStdString();
        EXPECT_EQ(name.toStdString(), c.name.toStdString()) << c.text.toStdString();
    }
}

TEST(TextToPlay, RelativePathIsJoinedToTheWorkingDirectoryAndTheTagKept) {
    struct Case {
        QString text, workingDirectory, result;
    } cases[] = {
        {"a.wav", "/w", "/w/a.wav"},
        {"../m/a b.wav <cvnm:Ann <x>>rest", "/w/", "/w/../m/a b.wav <cvnm:Ann <x>>rest"},
        {"x>y.wav<cvnm:Ann>", "/w", "/w/x>y.wav<cvnm:Ann>"},
        {"a.wav<cvnm:Ann", "/", "/a.wav<cvnm:Ann"},  // no closing '>': all of it is the path
        {":r.wav", "/w", "/w/:r.wav"},
        {"/m/a.wav<cvnm:Ann>", "/w", "/m/a.wav<cvnm:Ann>"},
        {"<cvnm:Ann>", "/w", "<cvnm:Ann>"},
        {"", "/w", ""},
        {"a.wav", "", "a.wav"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextToPlayWithAbsolutePath(c.text, c.workingDirectory).toStdString(),
                  c.result.toStdString())
            << c.text.toStdString();
    }
}

}  // namespace
