#pragma once
// What a ConsoleWindow writes to its two streams, caught on pipes.

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "core/clock.h"

namespace varnox::testing {

class ConsoleCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(::pipe2(out_, O_NONBLOCK), 0);
        ASSERT_EQ(::pipe2(err_, O_NONBLOCK), 0);
    }
    void TearDown() override
    {
        for (int fd : {out_[0], out_[1], err_[0], err_[1]})
            ::close(fd);
    }
    static std::string Drain(int fd)
    {
        std::string text;
        char buffer[1024];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }
    int out_[2] = {-1, -1};
    int err_[2] = {-1, -1};
    SimClock clock;
};

}  // namespace varnox::testing
