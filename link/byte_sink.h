#pragma once
// The one thing a request sender needs of a transport: hand over bytes.
//
// The serial port (TComm) implements it for real; unit tests use an in-memory
// fake that records what was sent. A sink copies the bytes before it returns
// and never waits for them to leave; bytes of successive calls go out in call
// order and never interleave.

#include <QByteArray>

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Returns false at once when nothing could be queued (port closed, no
    // bytes). Senders ignore the result: a lost request is reported by the
    // request watchdog ("Receive timeout").
    virtual bool SendBytes(const QByteArray& bytes) = 0;
};
