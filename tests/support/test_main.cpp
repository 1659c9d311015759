// The start of every test program.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <boost/nowide/filesystem.hpp>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // Names in the tests are UTF-8, as inside the tool: paths made from them,
    // their string() forms and the arguments handed to the tool all agree.
    boost::nowide::nowide_filesystem();
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
