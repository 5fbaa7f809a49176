# The Markdown files (README.md, docs/, DEVELOPERS.md, the packages' and the
# example's READMEs) checked in every build:
#   docs.links        scripts/check-doc-links.mjs over the repository: every
#                     relative link (and every link to the repository's own
#                     GitHub address) names a file that exists and, into a
#                     Markdown file, a heading that is there
#   docs.node.links   the checker passes a small repository of its own and
#                     fails on each kind of broken link planted in it
# Included from the repository's top level.
find_program(NODE_EXECUTABLE node REQUIRED)
add_test(NAME docs.links
         COMMAND ${NODE_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/check-doc-links.mjs ${PROJECT_SOURCE_DIR}
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
add_test(NAME docs.node.links
         COMMAND ${NODE_EXECUTABLE} --test ${PROJECT_SOURCE_DIR}/scripts/test/check_doc_links.test.mjs
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(docs.links docs.node.links PROPERTIES TIMEOUT 120)
