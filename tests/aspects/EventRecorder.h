#pragma once

#include <string>
#include <vector>

#include "ObserverPattern2.h"

/// Remembers every event it receives, in order.
struct TEventRecorder : IObserver {
    struct TEvent {
        TObject* sender;
        std::string name;
        TVariant value;
    };
    std::vector<TEvent> events;

    void Update(TObject* sender, const std::string& event, const TVariant& value) override {
        events.push_back({sender, event, value});
    }
    int Count(const std::string& name) const {
        int n = 0;
        for (const TEvent& e : events)
            n += e.name == name;
        return n;
    }
};

/// One line of the settings text, written with "|" for the separator byte.
inline std::string StoredLine(std::string line) {
    for (char& c : line)
        if (c == '|') c = '\xA4';
    return line + "\r\n";
}
