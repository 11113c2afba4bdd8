# Every EXE and DLL keeps its debug information in a file beside it (<name>.debug, found by debuggers through
# the link the binary carries) instead of in its own sections. Under Wine a PE's sections are read into memory
# when the image is loaded, debug sections included: with them a DLL such as KxData.dll is five times its
# size and takes three to four times as long to load, and a process pays that for every module it starts with.
if(CMAKE_OBJCOPY)
  foreach(lang C CXX)
    foreach(rule LINK_EXECUTABLE CREATE_SHARED_LIBRARY CREATE_SHARED_MODULE)
      if(DEFINED CMAKE_${lang}_${rule})
        list(APPEND CMAKE_${lang}_${rule}
             "${CMAKE_OBJCOPY} --only-keep-debug <TARGET> <TARGET>.debug"
             "${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=<TARGET>.debug <TARGET>")
      endif()
    endforeach()
  endforeach()
endif()
