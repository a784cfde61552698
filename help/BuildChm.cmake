# cmake -DSOURCE= -DSTAGE= -DOUTPUT= -DCHMCMD= -DICONV= -DFILES= -P BuildChm.cmake
#
# The project file and the table of contents are kept in UTF-8 like every
# source; a CHM viewer reads them in the code page of the guide's language
# (GBK for 0x804), so they are compiled from GBK copies. The pages declare
# their own charset and are taken as they are.
file(REMOVE_RECURSE ${STAGE})
foreach(f ${FILES})
  get_filename_component(dir ${STAGE}/${f} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  if(f MATCHES "\\.(hhp|hhc)$")
    execute_process(COMMAND ${ICONV} -f UTF-8 -t GBK ${SOURCE}/${f}
      OUTPUT_FILE ${STAGE}/${f} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${f} cannot be written in GBK")
    endif()
  else()
    file(COPY ${SOURCE}/${f} DESTINATION ${dir})
  endif()
endforeach()
execute_process(COMMAND ${CHMCMD} HelpKD.hhp WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT EXISTS ${STAGE}/HelpKD.chm OR out MATCHES "[Ee]rror")
  message(FATAL_ERROR "chmcmd failed:\n${out}")
endif()
file(COPY_FILE ${STAGE}/HelpKD.chm ${OUTPUT})
