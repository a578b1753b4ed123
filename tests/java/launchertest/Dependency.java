package launchertest;

/** The superclass of Dependent, which a test leaves off the class path. */
public class Dependency {
}
