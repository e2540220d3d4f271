#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "core/Variant.h"

/// Root of every object that can be named as the sender of an event, so that a
/// receiver can test the sender's class with dynamic_cast.
class TObject {
public:
    virtual ~TObject() = default;
};

/// Receives named events.
class IObserver {
public:
    virtual ~IObserver() = default;
    virtual void Update(TObject* sender, const std::string& event, const TVariant& value) = 0;
};

/// Sends named events to the observers attached to it.
class ISubject {
public:
    virtual ~ISubject() = default;
    virtual void Attach(IObserver* observer) = 0;
    virtual void Detach(IObserver* observer) = 0;
    virtual void Notify(TObject* sender, const std::string& event, const TVariant& value) = 0;
};

/// An object that receives events.
class TObserver : public TObject, public IObserver {};

/// The reusable subject. Observers are held without ownership; the array grows
/// 10, 21, 43, ... so that attaching stays cheap and a pass allocates nothing.
class TSubject : public TObserver, public ISubject {
public:
    TSubject();
    ~TSubject() override;
    TSubject(const TSubject&) = delete;
    TSubject& operator=(const TSubject&) = delete;

    void Attach(IObserver* observer) override;
    void Detach(IObserver* observer) override;
    /// Re-entrant: observers attached during a pass are not called in it.
    void Notify(TObject* sender, const std::string& event, const TVariant& value) override;
    /// Forgets every observer without telling anyone.
    void DetachAll();
    /// A plain subject ignores what it hears; subclasses react.
    void Update(TObject* sender, const std::string& event, const TVariant& value) override;

    std::size_t ObserverCount() const { return count_ - holes_; }
    std::size_t Capacity() const { return capacity_; }

private:
    void Compact();

    std::unique_ptr<IObserver*[]> observers_;
    std::size_t capacity_ = 0;
    std::size_t count_ = 0;
    // Detaching while a pass runs leaves holes, closed when the last pass ends,
    // so that no observer still attached is skipped or called twice.
    int passes_ = 0;
    std::size_t holes_ = 0;
};
