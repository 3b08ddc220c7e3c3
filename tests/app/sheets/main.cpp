// The sheet tests drive real widgets inside a QApplication on the offscreen platform (the Fusion
// style, American English number formats, every delay and animation a hundred times faster), with
// the user's data and configuration folders moved to a temporary folder.

#include <QApplication>

#include "tests/app/support/test_main.h"
#include "tests/app/support/view_testing.h"

int main(int argc, char** argv) {
    return quillmere::testing::runApplicationTests<QApplication>(
        argc, argv, quillmere::testing::setUpWidgetTests);
}
