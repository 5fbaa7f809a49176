# The documents checked in every build:
#   docs.node.map   the map of DEVELOPERS.md ("Where a fact is written more
#                   than once") against the sources it maps: every output word
#                   of the sidecar and every export of the addon shows in each
#                   place listed for it (scripts/test/docs_map.test.mjs)
# Included from the repository's top level.
find_program(NODE_EXECUTABLE node REQUIRED)
add_test(NAME docs.node.map
         COMMAND ${NODE_EXECUTABLE} --test ${PROJECT_SOURCE_DIR}/scripts/test/docs_map.test.mjs
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(docs.node.map PROPERTIES TIMEOUT 60)
