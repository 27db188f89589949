#pragma once
// Writes past the limit fail as on a full disk: the kernel takes what fits,
// then refuses the rest (EFBIG, with SIGXFSZ ignored).

#include <sys/resource.h>

#include <csignal>

namespace kova::test {

struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit{bytes, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
    rlimit old{};
};

}  // namespace kova::test
