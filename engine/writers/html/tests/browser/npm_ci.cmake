# Installs the browser test's Node packages into DEST with "npm ci", from the
# package.json and package-lock.json in SOURCE. Runs npm only when the lock
# file changed since the last install, so repeated test runs stay fast.
#   cmake -DSOURCE=... -DDEST=... -DNPM=npm -P npm_ci.cmake
file(MAKE_DIRECTORY ${DEST})
file(SHA256 ${SOURCE}/package-lock.json lock_hash)
set(stamp ${DEST}/node_modules/.installed-from-lock)
if(EXISTS ${stamp})
  file(READ ${stamp} installed)
  if(installed STREQUAL lock_hash AND EXISTS ${DEST}/node_modules/playwright-core/package.json)
    message(STATUS "Node packages are up to date in ${DEST}")
    return()
  endif()
endif()

configure_file(${SOURCE}/package.json ${DEST}/package.json COPYONLY)
configure_file(${SOURCE}/package-lock.json ${DEST}/package-lock.json COPYONLY)
execute_process(
  COMMAND ${NPM} ci --no-audit --no-fund --ignore-scripts
  WORKING_DIRECTORY ${DEST}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "npm ci failed (${status}) in ${DEST}")
endif()
file(WRITE ${stamp} ${lock_hash})
