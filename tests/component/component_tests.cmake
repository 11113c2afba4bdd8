# The component object, its task engine, listeners, category table, registrar, COM frame and error edges (in
# process, linked with the component library; the DLL's entry point and exports compiled in for the edges).
kx_add_test(NAME component_tests
  SOURCES ComponentTestUtil.cpp TaskQueueTest.cpp ObjectTest.cpp ListenerTest.cpp CategoryTableTest.cpp
          RegistrarTest.cpp FactoryTest.cpp ErrorEdgeTest.cpp ${CMAKE_SOURCE_DIR}/component/KxUninst.cpp
  LIBS kx_component
  DLLS KxUninst)
# A host built only from the public header: registers the DLL with regsvr32, creates the object through COM,
# initialises it, listens, and unregisters. It writes the prefix's real registry, hence the lock.
kx_add_test(NAME component_host_tests
  SOURCES HostRegistrationTest.cpp
  LIBS kxhostkit
  DLLS KxUninst)
set_tests_properties(component_host_tests PROPERTIES RESOURCE_LOCK KxUninstRegistration)
