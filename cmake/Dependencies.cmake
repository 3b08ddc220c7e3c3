# Every third-party library the program uses, found once and exposed as a target.
# scripts/install-deps installs the Debian packages that provide them.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(fmt REQUIRED)
find_package(TBB REQUIRED)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
find_package(EXPAT REQUIRED)
find_package(ICU REQUIRED COMPONENTS uc i18n)
find_package(TIFF REQUIRED)
find_package(JPEG REQUIRED)
find_package(ZLIB REQUIRED)

# Debian ships OpenCV's CMake package only with the whole of libopencv-dev; the DNN module's own
# package has the headers and libraries, found here directly.
find_path(OPENCV_INCLUDE_DIR opencv2/dnn.hpp PATH_SUFFIXES opencv4 REQUIRED)
find_library(OPENCV_CORE_LIBRARY opencv_core REQUIRED)
find_library(OPENCV_DNN_LIBRARY opencv_dnn REQUIRED)
add_library(quillmere_opencv_dnn INTERFACE)
target_include_directories(quillmere_opencv_dnn SYSTEM INTERFACE ${OPENCV_INCLUDE_DIR})
target_link_libraries(quillmere_opencv_dnn INTERFACE ${OPENCV_DNN_LIBRARY} ${OPENCV_CORE_LIBRARY})

pkg_check_modules(LIBRAW_R REQUIRED IMPORTED_TARGET libraw_r)
pkg_check_modules(EXIV2 REQUIRED IMPORTED_TARGET exiv2)
pkg_check_modules(LIBHEIF REQUIRED IMPORTED_TARGET libheif)
pkg_check_modules(LCMS2 REQUIRED IMPORTED_TARGET lcms2)

# The ONNX library reads model files to validate their declared inputs and outputs. Its CMake
# package names protobuf's target without finding protobuf itself.
find_package(Protobuf REQUIRED)
find_package(ONNX REQUIRED)

if(QUILLMERE_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(QUILLMERE_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
if(QUILLMERE_BUILD_APP)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Svg DBus)
  if(QUILLMERE_BUILD_TESTS)
    find_package(Qt6 REQUIRED COMPONENTS Test)
  endif()
endif()
