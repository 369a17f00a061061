// A stand-in connector: stays alive until it is stopped.
setInterval(() => {}, 60 * 60 * 1000);
