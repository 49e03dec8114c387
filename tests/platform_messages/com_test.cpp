// GUID texts, result codes and reference-counted objects.
#include "platform/com.h"

#include <gtest/gtest.h>

using namespace plat;

namespace {

constexpr GUID kSample{
    0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

TEST(Guid, RoundTripsWithUpperCaseOutput)
{
    GUID parsed;
    ASSERT_TRUE(guidFromString("{12345678-9abc-DEF0-0123-456789abcdef}", &parsed));
    EXPECT_EQ(parsed, kSample);
    EXPECT_EQ(guidToString(parsed), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
    EXPECT_EQ(guidToString(IUnknown::iid), "{00000000-0000-0000-C000-000000000046}");
    GUID back;
    ASSERT_TRUE(guidFromString(guidToString(IClassFactory::iid), &back));
    EXPECT_EQ(back, IClassFactory::iid);
    EXPECT_FALSE(IClassFactory::iid == IUnknown::iid);

    char buffer[39];
    EXPECT_EQ(stringFromGuid(kSample, buffer, sizeof buffer), 39);
    EXPECT_STREQ(buffer, "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
    EXPECT_EQ(stringFromGuid(kSample, buffer, 38), 0);
}

TEST(Guid, RejectsMalformedTextsAndLeavesTheResultAlone)
{
    const char *bad[] = {
        "",
        "12345678-9ABC-DEF0-0123-456789ABCDEF",    // no braces
        "{12345678-9ABC-DEF0-0123-456789ABCDEF",   // no closing brace
        "{12345678-9ABC-DEF0-0123-456789ABCDEF}x", // trailing text
        "{12345678-9ABC-DEF0-0123-456789ABCDEG}",  // not hex
        "{12345678-9ABC-DEF0-0123-456789ABCDE }",  // blank
        "{123456789ABC-DEF0-0123-456789ABCDEF-}",  // dash moved
        "{12345678+9ABC-DEF0-0123-456789ABCDEF}",  // wrong separator
        "{1234567-89ABC-DEF0-0123-456789ABCDEF}",  // group lengths
        "(12345678-9ABC-DEF0-0123-456789ABCDEF)",  // wrong brackets
    };
    for (const char *text : bad) {
        GUID out = kSample;
        EXPECT_FALSE(guidFromString(text, &out)) << text;
        EXPECT_EQ(out, kSample) << text;
    }
    EXPECT_FALSE(guidFromString("{12345678-9ABC-DEF0-0123-456789ABCDEF}", nullptr));
}

TEST(HResult, SucceededAndFailedFollowTheSeverityBit)
{
    for (HRESULT ok : {S_OK, S_FALSE})
        EXPECT_TRUE(SUCCEEDED(ok) && !FAILED(ok)) << ok;
    for (HRESULT bad : {E_NOTIMPL, E_NOINTERFACE, E_POINTER, E_FAIL, E_OUTOFMEMORY, E_INVALIDARG,
                        CLASS_E_CLASSNOTAVAILABLE, CLASS_E_NOAGGREGATION})
        EXPECT_TRUE(FAILED(bad) && !SUCCEEDED(bad)) << bad;
    EXPECT_EQ(static_cast<std::uint32_t>(E_NOINTERFACE), 0x80004002u);
    EXPECT_EQ(static_cast<std::uint32_t>(E_INVALIDARG), 0x80070057u);
}

class ITestThing : public IUnknown {
public:
    static constexpr IID iid{0xA1B2C3D4, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
    virtual int value() = 0;

protected:
    ~ITestThing() = default;
};

class Factory : public ComObject<IClassFactory, ITestThing> {
public:
    explicit Factory(bool *destroyed) : m_destroyed(destroyed) {}
    ~Factory() override { *m_destroyed = true; }
    HRESULT createInstance(IUnknown *outer, REFIID, void **out) override
    {
        if (out)
            *out = nullptr;
        return outer ? CLASS_E_NOAGGREGATION : E_NOTIMPL;
    }
    HRESULT lockServer(BOOL) override { return S_OK; }
    int value() override { return 42; }

private:
    bool *m_destroyed;
};

TEST(ComObject, QueryInterfaceCountsReferencesAndKeepsIdentity)
{
    bool destroyed = false;
    auto *object = new Factory(&destroyed);
    IClassFactory *factory = object;

    void *thing = nullptr;
    ASSERT_EQ(factory->queryInterface(ITestThing::iid, &thing), S_OK);
    EXPECT_EQ(static_cast<ITestThing *>(thing)->value(), 42);

    // IUnknown is the same pointer whichever interface is asked.
    void *unknown1 = nullptr;
    void *unknown2 = nullptr;
    ASSERT_EQ(factory->queryInterface(IUnknown::iid, &unknown1), S_OK);
    ASSERT_EQ(static_cast<ITestThing *>(thing)->queryInterface(IUnknown::iid, &unknown2), S_OK);
    EXPECT_EQ(unknown1, unknown2);

    void *none = &thing;
    EXPECT_EQ(factory->queryInterface(GUID_NULL, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(factory->queryInterface(ITestThing::iid, nullptr), E_POINTER);

    // One reference from creation plus three from queryInterface.
    EXPECT_EQ(factory->addRef(), 5u);
    EXPECT_EQ(factory->release(), 4u);
    static_cast<IUnknown *>(unknown1)->release();
    static_cast<IUnknown *>(unknown2)->release();
    static_cast<ITestThing *>(thing)->release();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(factory->release(), 0u);
    EXPECT_TRUE(destroyed);
}

} // namespace
