# The leftover guard and scanner with real files, links, shortcuts and registry entries in the test prefix.
# The links are made from the Linux side before the tests and removed after them.
add_test(NAME dustman_links_setup COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/dust_links.sh ${KX_WINEPREFIX} create)
add_test(NAME dustman_links_cleanup COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/dust_links.sh ${KX_WINEPREFIX} remove)
set_tests_properties(dustman_links_setup PROPERTIES FIXTURES_SETUP dust_links)
set_tests_properties(dustman_links_cleanup PROPERTIES FIXTURES_CLEANUP dust_links)

kx_add_test(NAME dustman_guard_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DustGuardTest.cpp ${CMAKE_CURRENT_LIST_DIR}/DustTestKit.cpp
  LIBS kx_uninstall)
kx_add_test(NAME dustman_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DustmanTest.cpp ${CMAKE_CURRENT_LIST_DIR}/DustTestKit.cpp
  LIBS kx_uninstall)
set_tests_properties(dustman_guard_tests dustman_tests PROPERTIES FIXTURES_REQUIRED dust_links)

# The sample package that leaves things behind, built here as the sample machine builds it, installed into the
# test prefix and uninstalled by its own silent uninstaller inside the job wait.
set(kx_pkg_dir "${CMAKE_BINARY_DIR}/tests/dustman_package_tests")
file(MAKE_DIRECTORY "${kx_pkg_dir}/pkg")
file(WRITE "${kx_pkg_dir}/pkg/readme.txt" "A program of the KxUninst sample machine.\r\n")
add_executable(dust_sample_app ${CMAKE_SOURCE_DIR}/samples/app/SampleApp.c)
target_compile_definitions(dust_sample_app PRIVATE "APP_NAME=\"KxSample diary\"" "APP_VERSION=\"1.0\"")
set_target_properties(dust_sample_app PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${kx_pkg_dir}/pkg" OUTPUT_NAME diary)
add_custom_command(OUTPUT "${kx_pkg_dir}/KxSampleDiarySetup.exe"
  COMMAND makensis -V2 -INPUTCHARSET UTF8 -DPKG=diary -DBUILD=${kx_pkg_dir}/pkg
          -DOUT=${kx_pkg_dir}/KxSampleDiarySetup.exe "-X!addincludedir ${CMAKE_SOURCE_DIR}/samples/nsis"
          ${CMAKE_SOURCE_DIR}/samples/nsis/package.nsi
  DEPENDS dust_sample_app ${CMAKE_SOURCE_DIR}/samples/nsis/package.nsi ${CMAKE_SOURCE_DIR}/samples/nsis/diary.nsh
  VERBATIM)
add_custom_target(dust_sample_package DEPENDS "${kx_pkg_dir}/KxSampleDiarySetup.exe")
kx_add_test(NAME dustman_package_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DustPackageTest.cpp ${CMAKE_CURRENT_LIST_DIR}/DustTestKit.cpp
  LIBS kx_uninstall TIMEOUT 300)
add_dependencies(dustman_package_tests dust_sample_package)
set_tests_properties(dustman_package_tests PROPERTIES RESOURCE_LOCK KxUninst.WaitForAllProcess)
