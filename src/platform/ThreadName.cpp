#include "platform/ThreadName.h"

#include <pthread.h>

namespace kova {

void nameCurrentThread(ThreadName name) {
    // Fails only for names past the limit, which ThreadName rules out.
    pthread_setname_np(pthread_self(), name.text());
}

}  // namespace kova
