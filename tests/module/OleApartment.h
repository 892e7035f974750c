#pragma once
// Every test process runs its tests in one single-threaded apartment, as a host does.
#include <gtest/gtest.h>
#include <ole2.h>

namespace qern {

class OleApartment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};
inline ::testing::Environment* const g_oleApartment = ::testing::AddGlobalTestEnvironment(new OleApartment);

}  // namespace qern
