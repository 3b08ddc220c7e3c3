# ThreadSanitizer and functions compiled in several clones for several processors
# (__attribute__((target_clones))): the resolver that picks a clone runs while the program is being
# loaded, before the sanitizer has started, and crashes on the function-entry hook the sanitizer
# puts into every function. Files with such clones are built without the entry and exit hooks;
# their memory accesses stay checked, and a report through them misses only their own frames.
# Included after the targets are defined, so that it adds to each file's own options.
foreach(folder IN ITEMS core rawbridge)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} clones REGEX "target_clones")
    if(clones)
      set_property(SOURCE ${source} DIRECTORY ${PROJECT_SOURCE_DIR}/${folder} APPEND
                   PROPERTY COMPILE_OPTIONS --param=tsan-instrument-func-entry-exit=0)
    endif()
  endforeach()
endforeach()

# The photo reader runs without the sanitizers (reader/CMakeLists.txt says why) and must not load
# the oneTBB that scripts/test-races builds with ThreadSanitizer either: that library brings the
# sanitizer's runtime, whose shadow memory exceeds the limits the reader sets itself. Without the
# build tree's run path it loads the system's libtbb, the same version.
set_target_properties(quillmere-reader PROPERTIES SKIP_BUILD_RPATH ON)
