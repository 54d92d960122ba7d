// The CD database client delivers its network events through a Qt event loop.
#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

class QtEnvironment : public testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[11] = "cddb_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

const testing::Environment* const kQt = testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
