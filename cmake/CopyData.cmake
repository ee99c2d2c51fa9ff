# Copies data/ into the plug-in's resource folder, except data/content (the sample Poser content
# library), which goes to its own folder.
file(GLOB entries RELATIVE ${SOURCE} ${SOURCE}/*)
file(MAKE_DIRECTORY ${RESOURCES})
foreach(entry ${entries})
  if(entry STREQUAL "content")
    file(COPY ${SOURCE}/content/ DESTINATION ${CONTENT})
  else()
    file(COPY ${SOURCE}/${entry} DESTINATION ${RESOURCES})
  endif()
endforeach()
