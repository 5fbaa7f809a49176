# The documents checked in every build:
#   docs.node.map     the map of DEVELOPERS.md ("Where a fact is written more
#                     than once") against the sources it maps: every output word
#                     of the sidecar and every export of the addon shows in each
#                     place listed for it (scripts/test/docs_map.test.mjs)
#   docs.links        scripts/check-doc-links.mjs over the repository: every
#                     relative link of every Markdown file (and every link to
#                     the repository's own GitHub address) names a file that
#                     exists and, into a Markdown file, a heading that is there
#   docs.node.links   the checker passes a small repository of its own and
#                     fails on each kind of broken link planted in it
# Included from the repository's top level.
find_program(NODE_EXECUTABLE node REQUIRED)
add_test(NAME docs.node.map
         COMMAND ${NODE_EXECUTABLE} --test ${PROJECT_SOURCE_DIR}/scripts/test/docs_map.test.mjs
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
add_test(NAME docs.links
         COMMAND ${NODE_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/check-doc-links.mjs ${PROJECT_SOURCE_DIR}
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
add_test(NAME docs.node.links
         COMMAND ${NODE_EXECUTABLE} --test ${PROJECT_SOURCE_DIR}/scripts/test/check_doc_links.test.mjs
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(docs.node.map PROPERTIES TIMEOUT 60)
set_tests_properties(docs.links docs.node.links PROPERTIES TIMEOUT 120)
