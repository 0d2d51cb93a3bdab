# Extras of the Windows platform tests: helper programs the tests start and inspect.
target_compile_definitions(test_platform PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(test_platform PRIVATE ws2_32)

# A console program that sleeps, started as a child process; its own version resource
# differs from the product's so that reading it cannot be mistaken for the fallback.
add_executable(njtest_sleeper ${CMAKE_CURRENT_LIST_DIR}/helper/Sleeper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/helper/sleeper.rc)
target_link_libraries(njtest_sleeper PRIVATE nj_warnings)

# A program carrying the product's own VERSIONINFO resource.
add_executable(njtest_identity ${CMAKE_CURRENT_LIST_DIR}/helper/Sleeper.cpp ${NJ_VERSION_RC})
target_link_libraries(njtest_identity PRIVATE nj_warnings)

add_dependencies(test_platform njtest_sleeper njtest_identity)
target_compile_definitions(test_platform PRIVATE
  NJ_TEST_SLEEPER_EXE="$<TARGET_FILE:njtest_sleeper>"
  NJ_TEST_IDENTITY_EXE="$<TARGET_FILE:njtest_identity>")
