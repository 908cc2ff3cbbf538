#pragma once

#include <mx/TypedObj.h>

namespace mx {

struct Event;

/// Storage in which each manager lives from first use to the end of the process.
template <typename T>
class Immortal;

struct TestHooks;

/// Base of the engine's singleton managers and their start/stop protocol.
/// Managers live until the process ends; nothing deletes one.
class Manager : public TypedObj {
public:
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    /// Starts the manager once; starting a started manager is a success that does nothing.
    /// Returns 0 on success, the failing startUpImpl's result otherwise.
    int startUp();

    /// Stops a started manager; does nothing otherwise.
    void shutDown();

    /// True between a successful startUp and the next shutDown.
    [[nodiscard]] bool isStarted() const { return started; }

    /// Hands an event to every object of the world, in the world's list order.
    /// Works on the world manager's objects whichever manager it is called through.
    void onEvent(const Event* event) const;

protected:
    Manager() = default;
    ~Manager() = default;

    /// The manager's own start-up work: 0 means success.
    virtual int startUpImpl() = 0;
    /// The manager's own shut-down work.
    virtual void shutDownImpl() = 0;

private:
    bool started = false;
};

} // namespace mx
