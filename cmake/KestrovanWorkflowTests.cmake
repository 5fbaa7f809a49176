# The GitHub workflows (.github/workflows) checked in every build:
#   workflows.valid            scripts/validate-workflows.mjs over the folder:
#                              GitHub's workflow schema (@action-validator/core,
#                              a development dependency, offline) and actions
#                              pinned to a major version or a commit
#   workflows.node.validator   the validator fails on broken copies, each with
#                              one planted fault, and names the file
# Included from the repository's top level.
find_program(NODE_EXECUTABLE node REQUIRED)
add_test(NAME workflows.valid
         COMMAND ${NODE_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/validate-workflows.mjs
                 ${PROJECT_SOURCE_DIR}/.github/workflows
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
add_test(NAME workflows.node.validator
         COMMAND ${NODE_EXECUTABLE} --test ${PROJECT_SOURCE_DIR}/scripts/test/validate_workflows.test.mjs
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(workflows.valid workflows.node.validator PROPERTIES TIMEOUT 120)
