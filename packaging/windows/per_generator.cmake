# Read by cpack for each kind of package it makes (CPACK_PROJECT_CONFIG_FILE):
# which components each holds.
if(CPACK_GENERATOR STREQUAL "NSIS")
  # The program and the service program alone: the installer never brings
  # an inpout32.dll, so the simulated one cannot end up beside the program.
  # Installed as a whole: no page to pick components from (the installer's
  # own page asks how the program runs).
  set(CPACK_MONOLITHIC_INSTALL ON)
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_folder)
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 1 project)
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 3 subfolder)
  set(CPACK_INSTALL_CMAKE_PROJECTS
    "${build_folder};${project};program;${subfolder};${build_folder};${project};service;${subfolder}")
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  # One ZIP with the program and, in a folder of their own, the bench tools,
  # all in a folder named as the ZIP.
  set(CPACK_COMPONENTS_ALL program bench)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
