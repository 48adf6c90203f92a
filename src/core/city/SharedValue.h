// Immutable values shared by the many objects that carry the same one (house numbers, postal indexes,
// empty captions, phone places) or that most objects leave empty (an organisation's ICQ or work zones).
// Each object keeps eight bytes and no block when empty, instead of a value of its own (a list or a
// string header is 24 bytes, and a million buildings carry several).
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

template <class T> class TShared {
public:
    TShared() = default;
    TShared(const T& v) : node_(v == Empty() ? nullptr : new Node{{1}, v}) {}
    TShared(T&& v) : node_(v == Empty() ? nullptr : new Node{{1}, std::move(v)}) {}
    TShared(const TShared& o) noexcept : node_(o.node_) {
        if (node_) node_->ref.fetch_add(1, std::memory_order_relaxed);
    }
    TShared(TShared&& o) noexcept : node_(std::exchange(o.node_, nullptr)) {}
    TShared& operator=(TShared o) noexcept {
        std::swap(node_, o.node_);
        return *this;
    }
    ~TShared() {
        if (node_ && node_->ref.fetch_sub(1, std::memory_order_acq_rel) == 1) delete node_;
    }

    const T& get() const { return node_ ? node_->value : Empty(); }
    operator const T&() const { return get(); }
    const T& operator*() const { return get(); }
    const T* operator->() const { return &get(); }

    bool operator==(const TShared& o) const { return node_ == o.node_ || get() == o.get(); }
    friend bool operator==(const TShared& a, const T& b) { return a.get() == b; }

private:
    struct Node {
        std::atomic<int> ref;
        T value;
    };
    static const T& Empty() {
        static const T empty;
        return empty;
    }
    Node* node_ = nullptr;
};

// A shared language set that reads like the list it holds.
class TSharedTas : public TShared<QStringList> {
public:
    using TShared::TShared;
    TSharedTas(std::initializer_list<QString> v) : TShared(QStringList(v)) {}

    qsizetype size() const { return get().size(); }
    bool isEmpty() const { return get().isEmpty(); }
    bool empty() const { return get().isEmpty(); }
    const QString& front() const { return get().front(); }
    const QString& operator[](qsizetype i) const { return get()[i]; }
    QString value(qsizetype i) const { return get().value(i); }
    QString join(QChar sep) const { return get().join(sep); }
    QStringList::const_iterator begin() const { return get().begin(); }
    QStringList::const_iterator end() const { return get().end(); }

    // Changes the set through `f`, which gets a list of its own: others holding the set keep theirs.
    template <class F> void edit(F&& f) {
        QStringList v = get();
        f(v);
        *this = TSharedTas(std::move(v));
    }
};

// A shared text that reads like the string it holds.
class TSharedText : public TShared<QString> {
public:
    using TShared::TShared;
    TSharedText(const char* s) : TShared(QString::fromUtf8(s)) {}

    bool isEmpty() const { return get().isEmpty(); }
};

// A shared list of numbers (payment kinds of an address, work zones of an organisation).
template <class T> class TSharedVector : public TShared<std::vector<T>> {
    using Base = TShared<std::vector<T>>;

public:
    using Base::Base;
    using Base::get;
    TSharedVector(std::initializer_list<T> v) : Base(std::vector<T>(v)) {}

    std::size_t size() const { return get().size(); }
    bool empty() const { return get().empty(); }
    T operator[](std::size_t i) const { return get()[i]; }
    typename std::vector<T>::const_iterator begin() const { return get().begin(); }
    typename std::vector<T>::const_iterator end() const { return get().end(); }
    void push_back(T v) {
        std::vector<T> all = get();
        all.push_back(v);
        *this = TSharedVector(std::move(all));
    }
    void clear() { *this = TSharedVector(); }
};
using TSharedBytes = TSharedVector<std::uint8_t>;
using TSharedInts = TSharedVector<std::int32_t>;
