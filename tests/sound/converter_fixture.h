// Runs whole conversions in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/exception.h"
#include "sound/wave_converter.h"
#include "tests/test_util.h"

class ConversionTest : public ::testing::Test {
  protected:
    // Writes bytes as the source file name, converts it to out.wav and returns the error
    // text, or "" on success.
    std::string Convert(const testutil::Bytes& bytes, const std::string& name = "in.wav") {
        testutil::WriteFile(dir.File(name), bytes);
        return ConvertPath(dir.File(name));
    }

    std::string ConvertPath(const std::string& source) {
        try {
            WaveConverter converter(source, Out());
            converter.Convert();
        } catch (CException* e) {
            ExceptionPtr owned(e);
            return e->Message();
        }
        return "";
    }

    std::string Out() const { return dir.File("out.wav"); }
    testutil::PcmFile Output() const { return testutil::ReadPcm(Out()); }
    size_t OutputSize() const { return testutil::ReadFile(Out()).size(); }

    testutil::TempDir dir;
};
