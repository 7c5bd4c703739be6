# Creates the shipped empty database in the build tree once; an existing file is never touched.
if(NOT EXISTS "${DATABASE}")
  get_filename_component(folder "${DATABASE}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  execute_process(COMMAND "${ZELKCTL}" init-db "${DATABASE}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not create ${DATABASE}")
  endif()
endif()
