package quorvel.example;

import java.awt.BorderLayout;
import java.awt.Font;
import javax.swing.BorderFactory;
import javax.swing.JFrame;
import javax.swing.JLabel;
import javax.swing.SwingUtilities;
import javax.swing.Timer;

/**
 * The example application: a small window showing a greeting and the
 * arguments the launcher passed. "--close-after N" closes it after N seconds.
 */
public final class Hello {
    public static void main(String[] args) {
        String name = "Cameras";
        int closeAfter = 0;
        for (int i = 0; i < args.length; i++) {
            if (args[i].equals("--close-after") && i + 1 < args.length) {
                closeAfter = Integer.parseInt(args[++i]);
            } else {
                name = args[i];
            }
        }
        String text = Greeting.forUser(name);
        System.out.println(text);
        int seconds = closeAfter;
        SwingUtilities.invokeLater(() -> show(text, seconds));
    }

    private static void show(String text, int closeAfter) {
        JFrame frame = new JFrame("Quorvel example");
        JLabel label = new JLabel(text, JLabel.CENTER);
        label.setFont(label.getFont().deriveFont(Font.BOLD, 16f));
        label.setBorder(BorderFactory.createEmptyBorder(30, 30, 30, 30));
        frame.add(label, BorderLayout.CENTER);
        frame.setDefaultCloseOperation(JFrame.EXIT_ON_CLOSE);
        frame.pack();
        frame.setLocationRelativeTo(null);
        frame.setVisible(true);
        if (closeAfter > 0) {
            Timer timer = new Timer(closeAfter * 1000, event -> System.exit(0));
            timer.setRepeats(false);
            timer.start();
        }
    }
}
