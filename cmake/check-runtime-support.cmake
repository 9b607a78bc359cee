# Fails when the image FILE links the C++ runtime's exception classes or its
# verbose terminate handler, or when its link map MAP shows that the link took
# in the runtime's exception support (the unwinder of libgcc_eh, the eh_*
# objects of libstdc++): a sign that the replacements of
# src/win32/runtime_support.cpp no longer take the place of the runtime's
# own, or that code built with exceptions came into the image.
#   cmake -DFILE=SETUP.EXE -DMAP=SETUP.map -P check-runtime-support.cmake
file(STRINGS "${FILE}" found REGEX "St12length_error|St11logic_error|St12out_of_range|terminate called")
if(found)
  message(FATAL_ERROR "${FILE} links the C++ runtime's exception support; "
                      "see src/win32/runtime_support.cpp")
endif()
file(STRINGS "${MAP}" found REGEX "libgcc_eh\\.a\\(|libstdc\\+\\+\\.a\\(eh_")
if(found)
  list(GET found 0 first)
  string(STRIP "${first}" first)
  message(FATAL_ERROR "${FILE} links the C++ runtime's exception support (${first}); "
                      "see src/win32/runtime_support.cpp")
endif()
