#pragma once

#include <string>
#include <vector>

#include "core/ObserverPattern2.h"

/// Remembers every event it receives, in order.
struct TEventLog : IObserver {
    struct TEvent {
        TObject* sender;
        std::string name;
        TVariant value;
    };
    std::vector<TEvent> events;

    void Update(TObject* sender, const std::string& event, const TVariant& value) override {
        events.push_back({sender, event, value});
    }
    /// How many events of one name arrived.
    int Count(const std::string& name) const {
        int n = 0;
        for (const TEvent& e : events)
            n += e.name == name;
        return n;
    }
    /// The events of one name, in order.
    std::vector<TEvent> Named(const std::string& name) const {
        std::vector<TEvent> found;
        for (const TEvent& e : events)
            if (e.name == name) found.push_back(e);
        return found;
    }
};
