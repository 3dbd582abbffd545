# The web playground of kestrom-sim (--web), with its page embedded, and its
# tests.  It needs cpp-httplib (libcpp-httplib-dev, found through
# pkg-config) and nlohmann-json (nlohmann-json3-dev); without them
# kestrom-sim builds as before and --web says which packages to install.
option(KESTROM_WEB "Build the web playground of kestrom-sim when its libraries are there" ON)

set(KESTROM_WEB_FOUND FALSE)
if(KESTROM_WEB)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(KESTROM_HTTPLIB QUIET IMPORTED_TARGET cpp-httplib)
  endif()
  find_package(nlohmann_json 3 QUIET)
  find_package(Threads QUIET)
  if(KESTROM_HTTPLIB_FOUND AND nlohmann_json_FOUND AND Threads_FOUND)
    set(KESTROM_WEB_FOUND TRUE)
  else()
    message(STATUS "kestrom-sim --web is left out: apt-get install libcpp-httplib-dev nlohmann-json3-dev")
  endif()
endif()

set(KESTROM_WEB_PAGE index.html style.css app.js)
string(JOIN "," KESTROM_WEB_PAGE_LIST ${KESTROM_WEB_PAGE})
if(KESTROM_WEB_FOUND)
  set(page_files ${KESTROM_WEB_PAGE})
  list(TRANSFORM page_files PREPEND ${CMAKE_SOURCE_DIR}/tools/web/page/)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/web_assets.cpp
    COMMAND ${CMAKE_COMMAND} -DOUT=${CMAKE_BINARY_DIR}/web_assets.cpp -DDIR=${CMAKE_SOURCE_DIR}/tools/web/page
            -DFILES=${KESTROM_WEB_PAGE_LIST} -P ${CMAKE_SOURCE_DIR}/tools/web/embed.cmake
    DEPENDS ${page_files} ${CMAKE_SOURCE_DIR}/tools/web/embed.cmake
    COMMENT "Embedding the playground's page")
  file(GLOB KESTROM_WEB_SOURCES CONFIGURE_DEPENDS tools/web/*.cpp)
  list(REMOVE_ITEM KESTROM_WEB_SOURCES ${CMAKE_SOURCE_DIR}/tools/web/web_unavailable.cpp)
  add_library(kestrom_web STATIC ${KESTROM_WEB_SOURCES} ${CMAKE_BINARY_DIR}/web_assets.cpp)
  target_link_libraries(kestrom_web PUBLIC kestrom_sim PkgConfig::KESTROM_HTTPLIB nlohmann_json::nlohmann_json
                        Threads::Threads)
  # The HTTP and JSON headers are most of what these files cost to compile:
  # two batches read them twice, one on each of two cores.
  set_target_properties(kestrom_web PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 7)
else()
  add_library(kestrom_web STATIC tools/web/web_unavailable.cpp)
endif()
target_include_directories(kestrom_web PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(kestrom_web PRIVATE ${KESTROM_WARNINGS})
foreach(program kestrom-sim kestrom-sim-notrace)
  target_link_libraries(${program} PRIVATE kestrom_web)
endforeach()

# The playground's own rules (guard, folder, findings, directive lines) in
# GoogleTest, and the page in a real browser: headless Chromium driven by
# puppeteer-core (tests/web/).  The browser tests skip, saying what to
# install, when Chromium, Node.js or the test's node modules are missing.
if(KESTROM_WEB_FOUND)
  if(GTest_FOUND)
    add_executable(kestrom-web-tests tests/web/web_test.cpp)
    target_link_libraries(kestrom-web-tests PRIVATE kestrom_web GTest::gtest GTest::gtest_main)
    target_compile_options(kestrom-web-tests PRIVATE ${KESTROM_WARNINGS})
    add_test(NAME web/unit COMMAND kestrom-web-tests)
  endif()
  add_test(NAME web/browser
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/web/run.sh $<TARGET_FILE:kestrom-sim> ${CMAKE_BINARY_DIR}/web-screenshots)
  set_tests_properties(web/browser PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 RUN_SERIAL ON)
else()
  add_test(NAME web/browser COMMAND ${CMAKE_COMMAND} -E echo
           "the web playground is not built: apt-get install libcpp-httplib-dev nlohmann-json3-dev")
  set_tests_properties(web/browser PROPERTIES SKIP_REGULAR_EXPRESSION "not built")
endif()
