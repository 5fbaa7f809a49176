# Every test of the repository's build gets a temporary folder of its own, its
# TMPDIR (node's os.tmpdir(), std::filesystem::temp_directory_path() and mktemp
# honour it): <root>/<test name>, or <root>/<executable> for the cases of a
# GoogleTest executable. The root, KESTROVAN_TEST_TEMP_ROOT, is a folder of the
# build's own in the temporary directory of the configuration (outside the
# clone, so that nothing a test installs there finds the clone's node_modules). The run checks that the tests removed
# what they made there, also when they failed:
#   temp_folders.prepare     (FIXTURES_SETUP) makes the folders, empty
#   temp_folders.left_empty  (FIXTURES_CLEANUP, after every other test that
#                            ran) fails naming each entry a test left, then
#                            removes the folders
# Both join any selection (ctest -R, -L) on their own, as fixtures do.
#
# A folder with tests calls kestrovan_tests_use_temp_folders() once (it takes
# effect at the end of the folder, for every add_test there); a GoogleTest
# executable's discovered cases take theirs through PROPERTIES:
#   kestrovan_temp_folder_properties(my_tests temp_properties)
#   gtest_discover_tests(my_tests ... PROPERTIES ${temp_properties})
# kestrovan_check_temp_folders(), last in the top-level list, adds the two tests
# and stops the configuration when a test was left without a folder.
# Included from the repository's top level, before its subdirectories.

if(NOT "$ENV{TMPDIR}" STREQUAL "")
  set(kestrovan_temp_base "$ENV{TMPDIR}")
else()
  set(kestrovan_temp_base /tmp)
endif()
string(MD5 kestrovan_build_hash ${PROJECT_BINARY_DIR})
string(SUBSTRING ${kestrovan_build_hash} 0 10 kestrovan_build_hash)
set(KESTROVAN_TEST_TEMP_ROOT ${kestrovan_temp_base}/kestrovan-tests-${kestrovan_build_hash}
    CACHE PATH "Where each test gets its temporary folder (TMPDIR), emptied by every test run")
set(KESTROVAN_TEMP_ROOT ${KESTROVAN_TEST_TEMP_ROOT})
set_property(GLOBAL PROPERTY KESTROVAN_TEMP_FOLDERS "")

function(kestrovan_temp_folder_properties name out)
  set_property(GLOBAL APPEND PROPERTY KESTROVAN_TEMP_FOLDERS ${name})
  set(${out} ENVIRONMENT "TMPDIR=${KESTROVAN_TEMP_ROOT}/${name}" FIXTURES_REQUIRED kestrovan_temp_folders
      PARENT_SCOPE)
endfunction()

function(kestrovan_give_tests_temp_folders)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test IN LISTS tests)
    set_property(GLOBAL APPEND PROPERTY KESTROVAN_TEMP_FOLDERS ${test})
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "TMPDIR=${KESTROVAN_TEMP_ROOT}/${test}")
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED kestrovan_temp_folders)
  endforeach()
endfunction()

function(kestrovan_tests_use_temp_folders)
  cmake_language(DEFER CALL kestrovan_give_tests_temp_folders)
endfunction()

function(kestrovan_tests_below directory out)
  get_property(tests DIRECTORY ${directory} PROPERTY TESTS)
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    kestrovan_tests_below(${subdirectory} below)
    list(APPEND tests ${below})
  endforeach()
  set(${out} ${tests} PARENT_SCOPE)
endfunction()

function(kestrovan_check_temp_folders)
  kestrovan_give_tests_temp_folders()  # the top level's own tests
  kestrovan_tests_below(${PROJECT_SOURCE_DIR} tests)
  get_property(folders GLOBAL PROPERTY KESTROVAN_TEMP_FOLDERS)
  set(missing ${tests})
  list(REMOVE_ITEM missing ${folders})
  if(missing)
    list(JOIN missing ", " missing)
    message(FATAL_ERROR "These tests have no temporary folder of their own: ${missing}.\n"
                        "Call kestrovan_tests_use_temp_folders() in the folder that adds them "
                        "(cmake/KestrovanTempFolders.cmake).")
  endif()
  set(list_file ${PROJECT_BINARY_DIR}/test-tmp-folders.txt)
  list(JOIN folders "\n" lines)
  file(WRITE ${list_file} "${lines}\n")
  set(run ${CMAKE_COMMAND} -DROOT=${KESTROVAN_TEMP_ROOT} -DFOLDERS=${list_file})
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/KestrovanTempFoldersRun.cmake)
  add_test(NAME temp_folders.prepare COMMAND ${run} -DMODE=prepare -P ${script})
  add_test(NAME temp_folders.left_empty COMMAND ${run} -DMODE=check -P ${script})
  set_tests_properties(temp_folders.prepare PROPERTIES FIXTURES_SETUP kestrovan_temp_folders)
  set_tests_properties(temp_folders.left_empty PROPERTIES FIXTURES_CLEANUP kestrovan_temp_folders)
endfunction()
