#include <QApplication>

#include "tests/app/support/test_main.h"

int main(int argc, char** argv) {
    return quillmere::testing::runApplicationTests<QApplication>(argc, argv);
}
