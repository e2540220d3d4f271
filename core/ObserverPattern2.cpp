#include "core/ObserverPattern2.h"

#include <algorithm>

TSubject::TSubject() : observers_(new IObserver*[10]()), capacity_(10) {}

TSubject::~TSubject() = default;

void TSubject::Attach(IObserver* observer) {
    if (count_ == capacity_) {
        const std::size_t grown = 2 * capacity_ + 1;
        std::unique_ptr<IObserver*[]> bigger(new IObserver*[grown]());
        std::copy(observers_.get(), observers_.get() + count_, bigger.get());
        observers_ = std::move(bigger);
        capacity_ = grown;
    }
    observers_[count_++] = observer;
}

void TSubject::Detach(IObserver* observer) {
    if (passes_ > 0) {
        for (std::size_t i = 0; i < count_; ++i)
            if (observers_[i] == observer) {
                observers_[i] = nullptr;
                ++holes_;
            }
        return;
    }
    std::size_t i = 0;
    while (i < count_) {
        if (observers_[i] == observer) {
            // the last entry takes the freed place, so the order changes
            observers_[i] = observers_[count_ - 1];
            observers_[count_ - 1] = nullptr;
            --count_;
        } else {
            ++i;
        }
    }
}

void TSubject::Compact() {
    Detach(nullptr);
    holes_ = 0;
}

void TSubject::Notify(TObject* sender, const std::string& event, const TVariant& value) {
    struct TPass {
        TSubject& subject;
        ~TPass() {
            if (--subject.passes_ == 0 && subject.holes_ > 0) subject.Compact();
        }
    } pass{*this};
    ++passes_;
    const std::size_t n = count_;
    for (std::size_t i = 0; i < n && i < count_; ++i) {
        // read from the current array each time: an observer may have grown it
        if (IObserver* o = observers_[i]) o->Update(sender, event, value);
    }
}

void TSubject::DetachAll() {
    std::fill(observers_.get(), observers_.get() + count_, nullptr);
    count_ = 0;
    holes_ = 0;
}

void TSubject::Update(TObject*, const std::string&, const TVariant&) {}
