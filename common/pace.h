#pragma once

// How a paced send (a paste, a function key, a command, a file) goes out: what the link waits
// for after each character. Typed keys never wait.
struct Pace
{
    // The serial write delay, in milliseconds: after each character, the longest wait for it to
    // be written, or with wholeDelay the wait itself. Below 0 counts as 0.
    int delay = 0;
    // Whether the whole delay is waited out after every character, however soon it is written:
    // a real pace, for a device that loses characters that come too fast.
    bool wholeDelay = false;
    // After each line end (a LF, or a CR not followed by LF), a wait of this many milliseconds
    // before the next character, however soon the line end is written: for a device that needs
    // time after each line. 0 adds none.
    int lineDelay = 0;
};
