#pragma once
// Reference-counting base of views, bitmaps and drawing contexts. Whoever creates an object
// holds one reference; every holder that stores it retains it and releases it when done.

#include <cstdint>

class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;
    virtual ~CReferenceCounter() = default;

    // Drops one reference; the last one destroys the object.
    virtual void release()
    {
        if (--nbReference == 0)
            delete this;
    }
    virtual void retain() { ++nbReference; }

    int32_t getNbReference() const { return nbReference; }

private:
    int32_t nbReference = 1;
};
