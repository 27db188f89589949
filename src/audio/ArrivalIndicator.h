#pragma once
// Where the player reports the audio arrival rate (the receiving window's level
// bar). Called on the playout thread: an implementation on a widget posts to
// its own thread.

namespace kova {

class IArrivalIndicator {
public:
    virtual ~IArrivalIndicator() = default;
    virtual void setLevel(int level) = 0;
};

}  // namespace kova
